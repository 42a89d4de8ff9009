// The fake libusb 0.1 through its C API, loaded by name as the program loads
// it (LD_LIBRARY_PATH names its folder), every call through dlsym with the
// real <usb.h> prototypes.

#include "protocol/MeterCommands.h"
#include "protocol/UsbAnswers.h"
#include "sim/GeneratedArchive.h"
#include "sim/GeneratedScreen.h"
#include "support/Bytes.h"
#include "support/ScopedProcessState.h"
#include "support/SimulatedUsbMeter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <usb.h>

#include <dlfcn.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

template <class F>
F Resolve(const SimulatedUsbMeter& meter, const char* name) {
    F f = meter.Function<std::remove_pointer_t<F>>(name);
    if (!f)
        throw std::runtime_error(std::string("the fake libusb lacks ") + name);
    return f;
}

#define VEL_USB(member, function) decltype(&::function) member = Resolve<decltype(&::function)>(meter, #function)

// The libusb calls of the loaded library.
struct UsbApi {
    explicit UsbApi(const SimulatedUsbMeter& m) : meter(m) {}

    const SimulatedUsbMeter& meter;
    VEL_USB(init, usb_init);
    VEL_USB(find_busses, usb_find_busses);
    VEL_USB(find_devices, usb_find_devices);
    VEL_USB(get_busses, usb_get_busses);
    VEL_USB(open, usb_open);
    VEL_USB(close, usb_close);
    VEL_USB(device, usb_device);
    VEL_USB(set_configuration, usb_set_configuration);
    VEL_USB(claim_interface, usb_claim_interface);
    VEL_USB(release_interface, usb_release_interface);
    VEL_USB(bulk_write, usb_bulk_write);
    VEL_USB(bulk_read, usb_bulk_read);
    VEL_USB(control_msg, usb_control_msg);
    VEL_USB(reset, usb_reset);
    VEL_USB(strerror, usb_strerror);
};

#undef VEL_USB

constexpr int Out = 0x01;
constexpr int In = 0x82;
constexpr std::uint8_t Guard = 0xEE;

struct ReadResult {
    int result;
    ByteVector bytes;  // what the read copied: as many bytes as its result counts
};

// Three records as the meter holds them, byte for byte.
const ByteVector Record1 = Bytes({0x01, 0x00, 0x09, 0x05, 0x0E, 0x03, 0x03, 0x0B, 0x01, 0x00, 0xD9, 0x9A,
                                  0x12, 0x45, 0x00, 0x00, 0x00, 0x00, 0x48, 0xE1, 0xFA, 0x42, 0x00, 0x00});
const ByteVector Record2 = Bytes({0x02, 0x00, 0x00, 0x1E, 0x09, 0x15, 0x0C, 0x0C, 0x02, 0x00, 0x00, 0x48,
                                  0x03, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0xC1, 0x00, 0x00});
const ByteVector Record3 = Bytes({0x03, 0x00, 0xAA, 0x3B, 0x17, 0x1F, 0x0C, 0x18, 0x10, 0x7F, 0x00, 0x68,
                                  0xF8, 0x44, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x3F, 0x05, 0x06});

ByteVector Join(std::initializer_list<ByteVector> pieces) {
    ByteVector all;
    for (const ByteVector& p : pieces)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

bool Contains(const char* text, const char* part) {
    return std::string(text).find(part) != std::string::npos;
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SimUsb : public ::testing::Test {
protected:
    void TearDown() override {
        for (usb_dev_handle* h : open_)
            usb.close(h);
    }

    // What a program does to find the meter: the finds, then the bus's
    // devices in list order.
    std::vector<struct usb_device*> Walk() {
        usb.init();
        usb.find_busses();
        usb.find_devices();
        return Listed();
    }

    // The devices as the bus lists them now, without a find.
    std::vector<struct usb_device*> Listed() {
        std::vector<struct usb_device*> devices;
        for (usb_bus* bus = usb.get_busses(); bus; bus = bus->next)
            for (struct usb_device* d = bus->devices; d; d = d->next)
                devices.push_back(d);
        return devices;
    }

    static bool IsMeter(const struct usb_device* d) {
        return d->descriptor.idVendor == 0x03EB && d->descriptor.idProduct == 0x0130;
    }

    struct usb_device* FirstMeter() {
        for (struct usb_device* d : Walk())
            if (IsMeter(d))
                return d;
        return nullptr;
    }

    // Opened here, closed when the test ends unless the test closes it.
    usb_dev_handle* Open(struct usb_device* d) {
        usb_dev_handle* h = usb.open(d);
        if (h)
            open_.push_back(h);
        return h;
    }
    void Close(usb_dev_handle* h) {
        std::erase(open_, h);
        EXPECT_EQ(usb.close(h), 0);
    }

    usb_dev_handle* OpenMeter() {
        struct usb_device* d = FirstMeter();
        if (!d)
            throw std::runtime_error("no meter on the bus");
        usb_dev_handle* h = Open(d);
        if (!h)
            throw std::runtime_error("the meter does not open");
        return h;
    }

    int Write(usb_dev_handle* h, const CommandCode& command) {
        return usb.bulk_write(h, Out, reinterpret_cast<const char*>(command.data()), 2, 1000);
    }

    // One bulk read into a buffer of size bytes with guard bytes behind it,
    // which must come back untouched.
    ReadResult Read(usb_dev_handle* h, int size, int timeout = 1000, int endpoint = In) {
        std::vector<char> buffer(static_cast<std::size_t>(size) + 16, static_cast<char>(Guard));
        const int result = usb.bulk_read(h, endpoint, buffer.data(), size, timeout);
        for (std::size_t i = static_cast<std::size_t>(size); i < buffer.size(); ++i)
            EXPECT_EQ(static_cast<std::uint8_t>(buffer[i]), Guard) << "written past the buffer at " << i;
        const int copied = std::max(result, 0);
        return {result, ByteVector(buffer.begin(), buffer.begin() + copied)};
    }

    // Reads every expected part with a buffer of exactly its size, as the USB
    // worker does, then finds nothing more.
    void ExpectParts(usb_dev_handle* h, const std::vector<ByteVector>& parts) {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const ReadResult r = Read(h, static_cast<int>(parts[i].size()));
            ASSERT_EQ(r.result, static_cast<int>(parts[i].size())) << "part " << i;
            EXPECT_EQ(r.bytes, parts[i]) << "part " << i;
        }
        EXPECT_EQ(Read(h, 256, 50).result, -ETIMEDOUT) << "nothing after the last part";
    }

    std::string WriteFile(const char* name, const ByteVector& bytes) {
        EXPECT_TRUE(dir_.isValid());
        const QString path = dir_.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path.toStdString();
    }

    SimulatedUsbMeter meter;
    UsbApi usb{meter};

private:
    std::vector<usb_dev_handle*> open_;
    QTemporaryDir dir_;
};

TEST_F(SimUsb, BusWalkFindsAHubThenTheMeterWithItsDescriptors) {
    usb.init();
    EXPECT_EQ(usb.get_busses(), nullptr) << "no bus before the first find";
    EXPECT_EQ(usb.find_busses(), 1);
    EXPECT_EQ(usb.find_busses(), 0);
    usb_bus* bus = usb.get_busses();
    ASSERT_NE(bus, nullptr);
    EXPECT_STREQ(bus->dirname, "001");
    EXPECT_EQ(bus->next, nullptr);
    EXPECT_EQ(bus->devices, nullptr) << "no devices before the first device find";

    EXPECT_EQ(usb.find_devices(), 2);
    EXPECT_EQ(usb.find_devices(), 0);
    const std::vector<struct usb_device*> devices = Listed();
    ASSERT_EQ(devices.size(), 2u);

    const struct usb_device* hub = devices[0];
    EXPECT_EQ(hub->descriptor.idVendor, 0x1D6B);
    EXPECT_EQ(hub->descriptor.idProduct, 0x0002);
    EXPECT_EQ(hub->descriptor.bDeviceClass, USB_CLASS_HUB);
    EXPECT_EQ(bus->root_dev, hub);

    const struct usb_device* m = devices[1];
    EXPECT_EQ(m->descriptor.bLength, USB_DT_DEVICE_SIZE);
    EXPECT_EQ(m->descriptor.bDescriptorType, USB_DT_DEVICE);
    EXPECT_EQ(m->descriptor.idVendor, 0x03EB);
    EXPECT_EQ(m->descriptor.idProduct, 0x0130);
    EXPECT_EQ(m->descriptor.bNumConfigurations, 1);
    EXPECT_STREQ(m->filename, "002");
    EXPECT_EQ(m->devnum, 2);
    EXPECT_EQ(m->bus, bus);
    EXPECT_EQ(m->prev, hub);
    EXPECT_EQ(hub->next, m);
    EXPECT_EQ(hub->prev, nullptr);

    ASSERT_NE(m->config, nullptr);
    const usb_config_descriptor& config = m->config[0];
    EXPECT_EQ(config.bConfigurationValue, 1);
    ASSERT_EQ(config.bNumInterfaces, 1);
    ASSERT_EQ(config.interface[0].num_altsetting, 1);
    const usb_interface_descriptor& setting = config.interface[0].altsetting[0];
    ASSERT_EQ(setting.bNumEndpoints, 2);
    EXPECT_EQ(setting.endpoint[0].bEndpointAddress, Out);
    EXPECT_EQ(setting.endpoint[1].bEndpointAddress, In);
    for (int e = 0; e < 2; ++e)
        EXPECT_EQ(setting.endpoint[e].bmAttributes & USB_ENDPOINT_TYPE_MASK, USB_ENDPOINT_TYPE_BULK);
    EXPECT_EQ(config.wTotalLength, USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE + 2 * USB_DT_ENDPOINT_SIZE);

    usb_dev_handle* h = Open(devices[1]);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.device(h), devices[1]);
    EXPECT_EQ(meter.DeviceOf(h), devices[1]);
    EXPECT_EQ(usb.set_configuration(h, 1), 0);
    EXPECT_EQ(usb.claim_interface(h, 0), 0);
    EXPECT_EQ(usb.release_interface(h, 0), 0);
}

TEST_F(SimUsb, EachCommandIsAnsweredPartByPartByteForByte) {
    meter.Set("VELSIM_ARCHIVE", WriteFile("three.Vel", Join({Record1, Record2, Record3})));
    meter.Set("VELSIM_IDENT", "Плотномер №7");
    meter.Set("VELSIM_LATENCY", "5");
    usb_dev_handle* h = OpenMeter();

    struct Case {
        const char* name;
        CommandCode command;
        std::vector<ByteVector> parts;
    };
    const ByteVector ident = Bytes({0xCF, 0xEB, 0xEE, 0xF2, 0xED, 0xEE, 0xEC, 0xE5, 0xF0, 0x20, 0xB9, 0x37});
    const Case cases[] = {
        {"ident", IdentCommand, {Bytes({0x0C, 0x00, 0x00, 0x00}), ident}},
        {"count", CountCommand, {Bytes({0x02, 0x00, 0x00, 0x00}), Bytes({0x03, 0x00})}},
        {"record", RecordCommand,
         {Bytes({0x03, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00}), Record1, Record2, Record3}},
        {"screen", ScreenCommand, {Bytes({0x80, 0x25, 0x00, 0x00}), GenerateScreenImage()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Write(h, c.command), 2);
        ExpectParts(h, c.parts);
        EXPECT_EQ(meter.Taken(c.name), 1);
    }
    EXPECT_EQ(meter.Taken("bogus"), -1);

    // Anything but a command: taken as written, never answered.
    const char junk[] = {0x01, static_cast<char>(0xFE), 0x00};
    EXPECT_EQ(usb.bulk_write(h, Out, junk, 3, 1000), 3);
    EXPECT_EQ(Read(h, 64, 100).result, -ETIMEDOUT);
    EXPECT_EQ(meter.Taken("ident"), 1);
}

TEST_F(SimUsb, PluggingAndUnpluggingCountInFindDevices) {
    struct usb_device* first = FirstMeter();
    ASSERT_NE(first, nullptr);
    usb_dev_handle* h = Open(first);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Write(h, CountCommand), 2);

    meter.Set("VELSIM_ABSENT", "1");
    // The list is the one of the last find, but the meter is gone.
    EXPECT_EQ(Listed().size(), 2u);
    EXPECT_EQ(usb.open(first), nullptr);
    EXPECT_EQ(Read(h, 4).result, -ENODEV) << "the queued answer went with the meter";
    EXPECT_EQ(Write(h, CountCommand), -ENODEV);
    EXPECT_EQ(usb.set_configuration(h, 1), -ENODEV);
    EXPECT_EQ(usb.claim_interface(h, 0), -ENODEV);
    EXPECT_TRUE(Contains(usb.strerror(), "No such device")) << usb.strerror();

    EXPECT_EQ(usb.find_devices(), 1);
    ASSERT_EQ(Listed().size(), 1u);
    EXPECT_FALSE(IsMeter(Listed()[0]));
    meter.Set("VELSIM_ABSENT", "1");
    EXPECT_EQ(usb.find_devices(), 0);

    // Plugged in again: a new device, the old handle stays dead.
    meter.Set("VELSIM_ABSENT", "0");
    EXPECT_EQ(usb.find_devices(), 1);
    const std::vector<struct usb_device*> again = Listed();
    ASSERT_EQ(again.size(), 2u);
    ASSERT_TRUE(IsMeter(again[1]));
    EXPECT_NE(again[1], first);
    EXPECT_STRNE(again[1]->filename, "002");
    EXPECT_EQ(Write(h, CountCommand), -ENODEV);
    usb_dev_handle* fresh = Open(again[1]);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(Write(fresh, CountCommand), 2);
    EXPECT_EQ(Read(fresh, 4).result, 4);

    // A second meter plugged in, then both taken away at once.
    meter.Set("VELSIM_METERS", "2");
    EXPECT_EQ(usb.find_devices(), 1);
    EXPECT_EQ(Listed().size(), 3u);
    meter.Set("VELSIM_ABSENT", "1");
    EXPECT_EQ(usb.find_devices(), 2);
    EXPECT_EQ(Read(fresh, 4).result, -ENODEV);

    EXPECT_EQ(meter.OpenHandles(), 2);
    Close(h);
    Close(fresh);
    EXPECT_EQ(meter.OpenHandles(), 0);
}

// Waits are real time; the margins allow a slow shared machine.
TEST_F(SimUsb, ReadsWaitForTheirPartWithinTheTimeOutOrTimeOut) {
    usb_dev_handle* h = OpenMeter();

    EXPECT_STREQ(usb.strerror(), "No error");
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Read(h, 64, 500).result, -ETIMEDOUT) << "nothing asked, nothing comes";
    EXPECT_TRUE(Contains(usb.strerror(), "timed out")) << usb.strerror();
    EXPECT_GE(MsSince(start), 450);
    EXPECT_LE(MsSince(start), 3000);

    // The answer is due after 600 ms: a shorter time-out leaves it queued.
    meter.Set("VELSIM_LATENCY", "600");
    const Clock::time_point written = Clock::now();
    ASSERT_EQ(Write(h, IdentCommand), 2);
    start = Clock::now();
    EXPECT_EQ(Read(h, 4, 200).result, -ETIMEDOUT);
    EXPECT_GE(MsSince(start), 180);
    const ReadResult length = Read(h, 4, 3000);
    EXPECT_EQ(length.result, 4);
    EXPECT_GE(MsSince(written), 550);
    EXPECT_LE(MsSince(written), 3000);
    start = Clock::now();
    EXPECT_GT(Read(h, DeviceIdentMaxLength, 3000).result, 0) << "the text follows at once";
    EXPECT_LE(MsSince(start), 400);

    // A time-out of 0 waits for as long as it takes.
    meter.Set("VELSIM_LATENCY", "300");
    ASSERT_EQ(Write(h, CountCommand), 2);
    start = Clock::now();
    EXPECT_EQ(Read(h, 4, 0).result, 4);
    EXPECT_GE(MsSince(start), 250);
}

TEST_F(SimUsb, InstantTimeOutsSkipTheWaitOnlyWhenNothingIsOnItsWay) {
    meter.Set("VELSIM_INSTANT_TIMEOUTS", "1");
    meter.Set("VELSIM_LATENCY", "300");
    usb_dev_handle* h = OpenMeter();

    Clock::time_point start = Clock::now();
    EXPECT_EQ(Read(h, 64, 5000).result, -ETIMEDOUT) << "nothing asked, nothing comes";
    EXPECT_LE(MsSince(start), 2500);

    ASSERT_EQ(Write(h, CountCommand), 2);
    start = Clock::now();
    EXPECT_EQ(Read(h, 4, 5000).result, 4) << "an answer still due is waited for";
    EXPECT_GE(MsSince(start), 250);
    EXPECT_EQ(Read(h, 2, 5000).result, 2);
    start = Clock::now();
    EXPECT_EQ(Read(h, 64, 5000).result, -ETIMEDOUT) << "after the last part";
    EXPECT_LE(MsSince(start), 2500);
}

TEST_F(SimUsb, EachPartIsOneReadWhateverTheBuffer) {
    meter.Set("VELSIM_LATENCY", "0");
    usb_dev_handle* h = OpenMeter();

    // Longer than the buffer: what fits is taken, the rest of the part lost.
    meter.Set("VELSIM_IDENT", "ABCDEF");
    ASSERT_EQ(Write(h, IdentCommand), 2);
    ReadResult r = Read(h, 2);
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.bytes, Bytes({0x06, 0x00}));
    r = Read(h, 64);
    EXPECT_EQ(r.result, 6) << "the next read takes the next part";
    EXPECT_EQ(r.bytes, Bytes({'A', 'B', 'C', 'D', 'E', 'F'}));

    // Shorter than the buffer: the part alone.
    ASSERT_EQ(Write(h, RecordCommand), 2);
    ASSERT_EQ(Read(h, RecordBufferSize).result, 8);
    r = Read(h, RecordBufferSize);
    EXPECT_EQ(r.result, 24);
    EXPECT_EQ(r.bytes, Bytes(GenerateRecords(1)[0]));

    // An empty part is one read of 0 bytes.
    meter.Set("VELSIM_IDENT", "");
    EXPECT_EQ(usb.reset(h), 0) << "throws away the records not read";
    ASSERT_EQ(Write(h, IdentCommand), 2);
    ExpectParts(h, {Bytes({0x00, 0x00, 0x00, 0x00}), {}});

    // A short answer ends inside a part.
    meter.Set("VELSIM_FAULTS", "ident:short=2");
    ASSERT_EQ(Write(h, IdentCommand), 2);
    ExpectParts(h, {Bytes({0x00, 0x00})});
}

TEST_F(SimUsb, TransfersGoToTheMetersEndpointsOnly) {
    meter.Set("VELSIM_LATENCY", "0");
    const std::vector<struct usb_device*> devices = Walk();
    ASSERT_EQ(devices.size(), 2u);
    usb_dev_handle* hub = Open(devices[0]);
    usb_dev_handle* h = Open(devices[1]);
    ASSERT_NE(hub, nullptr);
    ASSERT_NE(h, nullptr);

    const char count[] = {0x02, static_cast<char>(0xFD)};
    EXPECT_EQ(usb.bulk_write(h, 0x02, count, 2, 100), -EINVAL);
    EXPECT_EQ(usb.bulk_write(h, 0x81, count, 2, 100), -EINVAL);
    EXPECT_EQ(usb.bulk_write(h, Out, count, -1, 100), -EINVAL);
    EXPECT_EQ(usb.bulk_write(hub, Out, count, 2, 100), -EINVAL);
    EXPECT_EQ(Read(h, 4, 100, 0x81).result, -EINVAL);
    EXPECT_EQ(Read(hub, 4, 100).result, -EINVAL);
    EXPECT_EQ(meter.Taken("count"), 0);
    EXPECT_TRUE(Contains(usb.strerror(), "endpoint")) << usb.strerror();

    // libusb 0.1 sets the direction bit of a read's endpoint itself.
    ASSERT_EQ(usb.bulk_write(h, Out, count, 2, 100), 2);
    EXPECT_EQ(Read(h, 4, 1000, 0x02).result, 4);

    char buffer[8] = {};
    EXPECT_EQ(usb.control_msg(h, 0xC0, 0x01, 0, 0, buffer, 8, 100), -ENOSYS) << "not simulated, harmless";
}

TEST_F(SimUsb, SettingsChangeTheMeterFromTheNextCommand) {
    meter.Set("VELSIM_LATENCY", "0");
    meter.Set("VELSIM_RECORDS", "3");
    meter.Set("VELSIM_FAULTS", "count@2:length=4; record:timeout-after=1");
    usb_dev_handle* h = OpenMeter();
    const std::vector<DeviceRecord> records = GenerateRecords(3);
    const ByteVector header = Bytes({0x03, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00});

    ASSERT_EQ(Write(h, CountCommand), 2);
    ExpectParts(h, {Bytes({0x02, 0x00, 0x00, 0x00}), Bytes({0x03, 0x00})});
    ASSERT_EQ(Write(h, CountCommand), 2);
    ExpectParts(h, {Bytes({0x04, 0x00, 0x00, 0x00}), Bytes({0x03, 0x00})});
    ASSERT_EQ(Write(h, RecordCommand), 2);
    ExpectParts(h, {header, Bytes(records[0])});

    // Refused: the plan in force stays.
    EXPECT_FALSE(meter.TrySet("VELSIM_FAULTS", "record:bogus"));
    EXPECT_FALSE(meter.TrySet("VELSIM_NO_SUCH_SETTING", "1"));
    EXPECT_FALSE(meter.TrySet(nullptr, "1"));
    EXPECT_THROW(meter.Set("VELSIM_RECORDS", "many"), std::runtime_error);
    ASSERT_EQ(Write(h, RecordCommand), 2);
    ExpectParts(h, {header, Bytes(records[0])});

    // Back to the default: no faults.
    meter.Set("VELSIM_FAULTS", nullptr);
    ASSERT_EQ(Write(h, RecordCommand), 2);
    ExpectParts(h, {header, Bytes(records[0]), Bytes(records[1]), Bytes(records[2])});

    meter.Set("VELSIM_COUNT", "7");
    meter.Set("VELSIM_RECORD_SIZE", "30");
    ASSERT_EQ(Write(h, CountCommand), 2);
    ExpectParts(h, {Bytes({0x02, 0x00, 0x00, 0x00}), Bytes({0x07, 0x00})});
    ASSERT_EQ(Write(h, RecordCommand), 2);
    ByteVector padded = Bytes(records[0]);
    padded.resize(30, 0x00);
    const ReadResult head = Read(h, 8);
    EXPECT_EQ(head.bytes, Bytes({0x03, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Read(h, 30).bytes, padded);
    EXPECT_EQ(meter.Taken("count"), 3);
    EXPECT_EQ(meter.Taken("record"), 4);

    // What selecting the configuration and claiming the interface return.
    EXPECT_EQ(usb.set_configuration(h, 1), 0);
    meter.Set("VELSIM_CONFIG_RESULT", "-16");
    EXPECT_EQ(usb.set_configuration(h, 1), -16);
    EXPECT_EQ(usb.claim_interface(h, 0), 0);
    meter.Set("VELSIM_CLAIM_RESULT", "-16");
    EXPECT_EQ(usb.claim_interface(h, 0), -16);
    EXPECT_TRUE(Contains(usb.strerror(), "Device or resource busy")) << usb.strerror();
    meter.Set("VELSIM_CONFIG_RESULT", nullptr);
    EXPECT_EQ(usb.set_configuration(h, 1), 0);
}

TEST_F(SimUsb, TwoMetersEachAnswerOnTheirOwn) {
    meter.Set("VELSIM_METERS", "2");
    meter.Set("VELSIM_LATENCY", "0");
    const std::vector<struct usb_device*> devices = Walk();
    ASSERT_EQ(devices.size(), 3u);
    ASSERT_TRUE(IsMeter(devices[1]));
    ASSERT_TRUE(IsMeter(devices[2]));
    EXPECT_STREQ(devices[1]->filename, "002");
    EXPECT_STREQ(devices[2]->filename, "003");

    usb_dev_handle* first = Open(devices[1]);
    usb_dev_handle* second = Open(devices[2]);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(meter.DeviceOf(second), devices[2]);
    ASSERT_EQ(Write(second, CountCommand), 2);
    EXPECT_EQ(Read(first, 4, 100).result, -ETIMEDOUT);
    EXPECT_EQ(Read(second, 4).result, 4);
    EXPECT_EQ(meter.OpenHandles(), 2);
}

TEST_F(SimUsb, HandlesAreCountedAndAStaleDeviceDoesNotOpen) {
    struct usb_device* d = FirstMeter();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(meter.OpenHandles(), 0);
    usb_dev_handle* a = Open(d);
    usb_dev_handle* b = Open(d);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(meter.OpenHandles(), 2);
    Close(a);
    EXPECT_EQ(meter.OpenHandles(), 1);
    Close(b);
    EXPECT_EQ(meter.OpenHandles(), 0);

    struct usb_device unknown{};
    EXPECT_EQ(usb.open(&unknown), nullptr);
    EXPECT_EQ(meter.OpenHandles(), 0);
}

// Mistakes a program must never make end it at once, with a message saying which.
TEST_F(SimUsb, MisuseOfAHandleAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* what;
        std::function<void()> misuse;
        const char* message;
    };
    const Case cases[] = {
        {"closed twice",
         [this] {
             usb_dev_handle* h = usb.open(FirstMeter());
             usb.close(h);
             usb.close(h);
         },
         "usb_close.*closed twice"},
        {"a read on a closed handle",
         [this] {
             usb_dev_handle* h = usb.open(FirstMeter());
             usb.close(h);
             char buffer[4];
             usb.bulk_read(h, In, buffer, 4, 100);
         },
         "usb_bulk_read.*closed"},
        {"a write on a closed handle",
         [this] {
             usb_dev_handle* h = usb.open(FirstMeter());
             usb.close(h);
             Write(h, IdentCommand);
         },
         "usb_bulk_write.*closed"},
        {"a handle never opened",
         [this] {
             alignas(16) char notAHandle[64] = {};
             usb.close(reinterpret_cast<usb_dev_handle*>(notAHandle));
         },
         "usb_close.*not a handle"},
        {"no handle", [this] { usb.set_configuration(nullptr, 1); }, "usb_set_configuration.*NULL"},
    };
    for (const Case& c : cases)
        EXPECT_DEATH(c.misuse(), c.message) << c.what;
}

// A read waiting for its part returns as soon as the meter goes, whoever
// takes it away, not when its time-out ends.
TEST_F(SimUsb, UnpluggingOrAResetWakesAWaitingRead) {
    struct Case {
        const char* what;
        std::function<void(SimulatedUsbMeter&)> takeAway;
    };
    const Case cases[] = {
        {"unplugged", [](SimulatedUsbMeter& m) { m.Set("VELSIM_ABSENT", "1"); }},
        {"bus reset", [](SimulatedUsbMeter& m) { m.Reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        meter.Reset();
        meter.Set("VELSIM_LATENCY", "20000");
        usb_dev_handle* h = OpenMeter();
        ASSERT_EQ(Write(h, IdentCommand), 2);
        const Clock::time_point start = Clock::now();
        std::future<int> read = std::async(std::launch::async, [this, h] {
            char buffer[4];
            return usb.bulk_read(h, In, buffer, 4, 10000);
        });
        std::this_thread::sleep_for(200ms);
        c.takeAway(meter);
        ASSERT_EQ(read.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(read.get(), -ENODEV);
        EXPECT_LE(MsSince(start), 5000);
        Close(h);
    }
}

TEST_F(SimUsb, AResetStartsAFreshBusAndForgetsTheSettings) {
    meter.Set("VELSIM_RECORDS", "3");
    meter.Set("VELSIM_LATENCY", "0");
    usb_dev_handle* old = OpenMeter();
    ASSERT_EQ(Write(old, CountCommand), 2);

    meter.Reset();
    EXPECT_EQ(meter.Taken("count"), 0);
    EXPECT_EQ(usb.get_busses(), nullptr);
    EXPECT_EQ(usb.find_busses(), 1);
    EXPECT_EQ(usb.find_devices(), 2);
    EXPECT_EQ(Write(old, CountCommand), -ENODEV) << "the old handle stays valid, its meter is gone";
    EXPECT_EQ(meter.OpenHandles(), 1);

    usb_dev_handle* h = Open(Listed().at(1));
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Write(h, CountCommand), 2);
    ExpectParts(h, {Bytes({0x02, 0x00, 0x00, 0x00}), Bytes({0x0A, 0x00})});
    Close(old);
    EXPECT_EQ(meter.OpenHandles(), 1);
}

TEST_F(SimUsb, TheEnvironmentBuildsTheMeterAndABadValueIsReportedOnce) {
    ScopedProcessState state;
    state.SetEnvironment("VELSIM_RECORDS", QByteArray("4"));
    state.SetEnvironment("VELSIM_LATENCY", QByteArray("soon"));
    state.SetEnvironment("VELSIM_METERS", QByteArray("2"));
    testing::internal::CaptureStderr();
    meter.Reset();
    meter.Reset();
    meter.Set("VELSIM_COUNT", "9");
    const std::string printed = testing::internal::GetCapturedStderr();
    std::size_t mentions = 0;
    for (std::size_t at = printed.find("VELSIM_LATENCY"); at != std::string::npos;
         at = printed.find("VELSIM_LATENCY", at + 1))
        ++mentions;
    EXPECT_EQ(mentions, 1u) << printed;

    const std::vector<struct usb_device*> devices = Walk();
    EXPECT_EQ(devices.size(), 3u);
    usb_dev_handle* h = OpenMeter();
    ASSERT_EQ(Write(h, RecordCommand), 2);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(Read(h, 8).bytes, Bytes({0x04, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00}));
    EXPECT_LE(MsSince(start), 1000) << "the default latency kept";

    // A setting made by call sits on top of the environment; taken back, the
    // environment's value is in force again.
    meter.Set("VELSIM_RECORDS", "1");
    meter.Set("VELSIM_RECORDS", nullptr);
    EXPECT_EQ(usb.reset(h), 0);
    ASSERT_EQ(Write(h, RecordCommand), 2);
    EXPECT_EQ(Read(h, 8).bytes, Bytes({0x04, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00}));
}

// ---- the libraries as files ----

const std::set<std::string> LibUsbFunctions = {
    "usb_bulk_read",
    "usb_bulk_write",
    "usb_claim_interface",
    "usb_clear_halt",
    "usb_close",
    "usb_control_msg",
    "usb_device",
    "usb_find_busses",
    "usb_find_devices",
    "usb_get_busses",
    "usb_get_descriptor",
    "usb_get_descriptor_by_endpoint",
    "usb_get_string",
    "usb_get_string_simple",
    "usb_init",
    "usb_interrupt_read",
    "usb_interrupt_write",
    "usb_open",
    "usb_release_interface",
    "usb_reset",
    "usb_resetep",
    "usb_set_altinterface",
    "usb_set_configuration",
    "usb_set_debug",
    "usb_strerror",
};
const std::set<std::string> ControlFunctions = {
    "velsim_usb_set",
    "velsim_usb_reset",
    "velsim_usb_taken",
    "velsim_usb_open_handles",
};

// The names the library's dynamic symbol table defines, as nm lists them.
std::set<std::string> DefinedSymbols(const char* library) {
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                    QStringLiteral("--format=posix"), QString::fromLocal8Bit(library)});
    EXPECT_TRUE(nm.waitForFinished(30000)) << "nm " << library;
    EXPECT_EQ(nm.exitCode(), 0) << nm.readAllStandardError().toStdString();
    std::set<std::string> names;
    for (const QByteArray& line : nm.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            names.insert(line.split(' ').front().toStdString());
    return names;
}

TEST(FakeLibUsbFiles, ExportOnlyTheLibUsbFunctionsAndTheControls) {
    std::set<std::string> full = LibUsbFunctions;
    full.insert(ControlFunctions.begin(), ControlFunctions.end());
    EXPECT_EQ(DefinedSymbols(VEL_FAKE_LIBUSB), full);

    std::set<std::string> incomplete = full;
    incomplete.erase("usb_control_msg");
    EXPECT_EQ(DefinedSymbols(VEL_FAKE_LIBUSB_INCOMPLETE), incomplete);
}

TEST(FakeLibUsbFiles, TheIncompleteVariantLacksUsbControlMsgAlone) {
    // The full one first: while a library of the soname is loaded, loading the
    // name finds that one (see the next test).
    SimulatedUsbMeter full;
    SimulatedUsbMeter incomplete(VEL_FAKE_LIBUSB_INCOMPLETE);
    for (const std::string& name : LibUsbFunctions) {
        EXPECT_NE(full.Symbol(name.c_str()), nullptr) << name;
        EXPECT_EQ(incomplete.Symbol(name.c_str()) != nullptr, name != "usb_control_msg") << name;
    }
    EXPECT_NE(full.Symbol("usb_init"), incomplete.Symbol("usb_init")) << "two libraries, each with its bus";

    // Our own code inside stays out of sight.
    for (const char* internal : {"_ZN6velsim12SimulatedBus8InstanceEv", "DefaultSimulatorIdent"})
        EXPECT_EQ(full.Symbol(internal), nullptr) << internal;
}

// How a test makes the program find the incomplete library: load it by path
// first, and the program's load by name gets it.
TEST(FakeLibUsbFiles, WhileLoadedAloneTheIncompleteVariantIsWhatTheNameFinds) {
    SimulatedUsbMeter incomplete(VEL_FAKE_LIBUSB_INCOMPLETE);
    void* byName = dlopen("libusb-0.1.so.4", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(byName, nullptr) << dlerror();
    EXPECT_EQ(dlsym(byName, "usb_control_msg"), nullptr);
    EXPECT_EQ(dlsym(byName, "usb_init"), incomplete.Symbol("usb_init"));
    dlclose(byName);
}

}  // namespace
