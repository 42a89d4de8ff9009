#include "transport/LibUsbWin32.h"

#include "app/MessageTable.h"
#include "protocol/MeterCommands.h"
#include "support/CapturedLinkLog.h"
#include "support/SimulatedUsbMeter.h"

#include <gtest/gtest.h>

#include <usb.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <thread>

namespace {

const QString NotConnected = QStringLiteral(
    "Прибор не подключен к шине USB или выключен. Включите прибор, подключите его к шине USB и перезапустите "
    "программу.");

const QStringList Banner = {
    QStringLiteral("============================="),
    QStringLiteral("=    Initialize LibUsb      ="),
    QStringLiteral("============================="),
};

// Collects what FindDevice shows in the status bar.
struct ShownTexts {
    QStringList texts;
    LibUsbWin32::StatusReport Report() {
        return [this](const QString& text) { texts << text; };
    }
};

TEST(LibUsbWin32Test, ErrorTextsGoByErrnoMeaningAndLanguage) {
    const struct {
        int code;
        int language;
        const char* text;
    } cases[] = {
        {0, 0, ""},
        {-ETIMEDOUT, 0, "LibUsb: Тайм-аут"},
        {-ETIMEDOUT, 1, "LibUsb: Time-out"},
        {-116, 0, "LibUsb: Error -116"},  // the time-out's number in another C runtime
        {-EBUSY, 0, "LibUsb: strerror reports \"Resource device\""},
        {-EISDIR, 0, "LibUsb: Is a directory"},
        {-15, 0, "LibUsb: Error -15"},
        {-ENAMETOOLONG, 0, "LibUsb: Слишком длинное имя файла"},
        {-ENOTEMPTY, 1, "LibUsb: Directory not empty"},
        {-41, 0, "LibUsb: Error -41"},
        {-ENOENT, 1, "LibUsb: No entry, ENOFILE, no such file or directory"},
        {-ENODEV, 0, "LibUsb: Нет такого устройства"},
        {-EPIPE, 1, "LibUsb: Broken pipe"},
        {2, 0, "LibUsb: Error 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        LanguageIndex = static_cast<std::uint8_t>(c.language);
        EXPECT_EQ(LibUsbWin32::GetErrorText(c.code), QString::fromUtf8(c.text));
    }
    LanguageIndex = 0;
}

TEST(LibUsbWin32Test, InitializeResultsAndTheirLogLines) {
    SimulatedUsbMeter meter;
    const QStringList loaded = {QStringLiteral("LibUsb loaded!"), QStringLiteral("Library initialize...")};
    const struct {
        const char* name;
        QString file;
        int result;
        QStringList log;
    } cases[] = {
        {"no such file", QStringLiteral("/nonexistent/libusb-0.1.so.4"), 1,
         Banner + QStringList{QStringLiteral("LoadLibrary(\"/nonexistent/libusb-0.1.so.4\");")}},
        {"an entry point missing", QStringLiteral(VEL_FAKE_LIBUSB_INCOMPLETE), 2,
         Banner + QStringList{QStringLiteral("LoadLibrary(\"%1\");").arg(QStringLiteral(VEL_FAKE_LIBUSB_INCOMPLETE))} +
             loaded},
        // Found as the system finds libraries; without the installer and
        // asynchronous functions of the Windows build.
        {"the library by name", QStringLiteral("libusb-0.1.so.4"), 0,
         Banner + QStringList{QStringLiteral("LoadLibrary(\"libusb-0.1.so.4\");")} + loaded +
             QStringList{QStringLiteral("Library initialized!")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLinkLog log;
        LibUsbWin32 usb(c.file);
        EXPECT_EQ(usb.Initialize(), c.result);
        EXPECT_EQ(usb.isLibraryLoaded(), c.result == 0);
        EXPECT_EQ(log.Entries(), c.log);
    }
}

TEST(LibUsbWin32Test, SecondInitializeOnlyLogsTheBanner) {
    SimulatedUsbMeter meter;
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    CapturedLinkLog log;
    EXPECT_EQ(usb.Initialize(), 0);
    EXPECT_EQ(log.Entries(), Banner);
}

TEST(LibUsbWin32Test, ExchangeIsLoggedWithResultsAndByteLists) {
    SimulatedUsbMeter meter;
    meter.Set("VELSIM_IDENT", "VEL-1");
    meter.Set("VELSIM_LATENCY", "0");
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    CapturedLinkLog log;
    ShownTexts shown;
    std::array<std::uint8_t, 200> buffer{};

    ASSERT_EQ(usb.FindDevice(shown.Report()), 0);
    EXPECT_TRUE(usb.isDeviceOpened());
    EXPECT_EQ(usb.WriteData(IdentCommand.data(), 2), 2);
    EXPECT_EQ(usb.ReadData(buffer.data(), 4), 4);
    EXPECT_EQ(usb.ReadData(buffer.data(), 100), 5);  // short: the text is 5 bytes
    EXPECT_EQ(usb.WriteData(CountCommand.data(), 2), 2);
    EXPECT_EQ(usb.ReadData(buffer.data(), 4), 4);
    EXPECT_EQ(usb.ReadData(buffer.data(), 4), 2);  // N is 2 bytes
    const std::array<std::uint8_t, 6> request{0x03, 0xFC, 0xFF, 0xFF, 0x80, 0x49};
    EXPECT_EQ(usb.WriteData(request.data(), 6), 6);
    EXPECT_EQ(usb.ReadData(buffer.data(), 8), -ETIMEDOUT);  // no USB command: no answer
    usb.CloseDevice();
    usb.CloseDevice();
    usb.CloseLibUsb();

    EXPECT_TRUE(shown.texts.isEmpty());
    const QStringList expected = {
        QStringLiteral("Find buses and devices..."),
        QStringLiteral("Buses and devices found!"),
        QStringLiteral("Device search..."),
        QStringLiteral("Device found!"),
        QStringLiteral("LibUsb WriteData(), 2 byte(s), OK (01 FE)"),
        QStringLiteral("LibUsb ReadData(), 4 byte(s), OK (05 00 00 00)"),
        QStringLiteral("LibUsb ReadData(), 100 byte(s), ERROR LibUsb: Error 5"),
        QStringLiteral("LibUsb WriteData(), 2 byte(s), OK (02 FD)"),
        QStringLiteral("LibUsb ReadData(), 4 byte(s), OK (02 00 00 00)"),
        QStringLiteral("LibUsb ReadData(), 4 byte(s), ERROR LibUsb: Error 2"),
        QStringLiteral("LibUsb WriteData(), 6 byte(s), OK (03 FC FF FF)"),
        QStringLiteral("LibUsb ReadData(), 8 byte(s), ERROR LibUsb: Тайм-аут"),
        QStringLiteral("Device closed! (DeviceHandle=NULL)"),
        QStringLiteral("--------------"),
        QStringLiteral("Device closed! (DeviceHandle=NULL)"),
        QStringLiteral("--------------"),
        QStringLiteral("LibUsb close..."),
        QStringLiteral("LibUsb closed!"),
        QStringLiteral("============================="),
    };
    EXPECT_EQ(log.Entries(), expected);
    EXPECT_FALSE(usb.isLibraryLoaded());
    EXPECT_EQ(meter.OpenHandles(), 0);
}

TEST(LibUsbWin32Test, FindDeviceKeepsAnOpenMeterWhileNothingChanges) {
    SimulatedUsbMeter meter;
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    ShownTexts shown;
    ASSERT_EQ(usb.FindDevice(shown.Report()), 0);
    usb_dev_handle* const first = usb.DeviceHandle();

    CapturedLinkLog log;
    EXPECT_EQ(usb.FindDevice(shown.Report()), 0);
    EXPECT_EQ(usb.DeviceHandle(), first);
    EXPECT_EQ(log.Entries(), (QStringList{QStringLiteral("Find buses and devices..."),
                                          QStringLiteral("Buses and devices found!"),
                                          QStringLiteral("Device search...")}));

    // Unplugged and plugged in again between two searches: opened anew, and
    // the old handle given back first.
    meter.Set("VELSIM_ABSENT", "1");
    meter.Set("VELSIM_ABSENT", "0");
    log.Clear();
    EXPECT_EQ(usb.FindDevice(shown.Report()), 0);
    EXPECT_TRUE(log.Entries().contains(QStringLiteral("Device found!")));
    EXPECT_EQ(meter.OpenHandles(), 1);
    EXPECT_TRUE(shown.texts.isEmpty());
}

TEST(LibUsbWin32Test, AbsentMeterIsReportedAndAHeldHandleGivenBack) {
    SimulatedUsbMeter meter;
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    ShownTexts shown;
    ASSERT_EQ(usb.FindDevice(shown.Report()), 0);

    meter.Set("VELSIM_ABSENT", "1");
    CapturedLinkLog log;
    EXPECT_EQ(usb.FindDevice(shown.Report()), 1);
    EXPECT_FALSE(usb.isDeviceOpened());
    EXPECT_EQ(meter.OpenHandles(), 0);
    EXPECT_EQ(shown.texts, QStringList{NotConnected});
    EXPECT_EQ(log.Entries().last(), QStringLiteral("Device NOT found!"));

    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(usb.ReadData(buffer.data(), 4), -ENODEV);
}

TEST(LibUsbWin32Test, RefusedConfigurationAndClaimAreShownButTheMeterIsFound) {
    SimulatedUsbMeter meter;
    meter.Set("VELSIM_CONFIG_RESULT", "-16");
    meter.Set("VELSIM_CLAIM_RESULT", "-13");
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    ShownTexts shown;
    EXPECT_EQ(usb.FindDevice(shown.Report()), 0);
    EXPECT_TRUE(usb.isDeviceOpened());
    EXPECT_EQ(shown.texts, (QStringList{QStringLiteral("LibUsb: strerror reports \"Resource device\""),
                                        QStringLiteral("LibUsb: Доступ запрещен")}));
}

TEST(LibUsbWin32Test, FirstMatchingDeviceInBusOrderIsTaken) {
    SimulatedUsbMeter meter;
    meter.Set("VELSIM_METERS", "2");
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    ShownTexts shown;
    ASSERT_EQ(usb.FindDevice(shown.Report()), 0);

    struct usb_device* first = nullptr;
    for (struct usb_bus* bus = meter.Function<struct usb_bus*()>("usb_get_busses")(); bus && !first; bus = bus->next)
        for (struct usb_device* device = bus->devices; device && !first; device = device->next)
            if (device->descriptor.idVendor == 0x03EB && device->descriptor.idProduct == 0x0130)
                first = device;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(meter.DeviceOf(usb.DeviceHandle()), first);
}

TEST(LibUsbWin32Test, ClosingFromAnotherThreadWaitsForTheRunningTransfer) {
    SimulatedUsbMeter meter;
    LibUsbWin32 usb;
    ASSERT_EQ(usb.Initialize(), 0);
    ShownTexts shown;
    ASSERT_EQ(usb.FindDevice(shown.Report()), 0);

    std::atomic<bool> reading{false};
    int result = 0;
    std::thread worker([&] {
        std::array<std::uint8_t, 4> buffer{};
        reading = true;
        result = usb.ReadData(buffer.data(), 4);  // nothing asked: runs into its time-out
    });
    while (!reading)
        std::this_thread::yield();
    // Well inside the read's 500 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    usb.CloseLibUsb();  // as the port dialog does
    worker.join();

    EXPECT_EQ(result, -ETIMEDOUT);
    EXPECT_FALSE(usb.isLibraryLoaded());
    EXPECT_EQ(meter.OpenHandles(), 0);
}

}  // namespace
