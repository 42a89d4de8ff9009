#include "sim/usb/SimulatedBus.h"

#include "sim/FaultPlan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

namespace velsim {

namespace {

using Clock = std::chrono::steady_clock;

std::optional<std::string> FromEnvironment(const std::string& name) {
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

[[noreturn]] void Misuse(const char* call, const usb_dev_handle* handle, const char* what) {
    std::fprintf(stderr, "fake libusb: %s(%p): %s\n", call, static_cast<const void*>(handle), what);
    std::fflush(stderr);
    std::abort();
}

void Endpoint(usb_endpoint_descriptor& e, std::uint8_t address, std::uint8_t attributes, std::uint16_t size) {
    e.bLength = USB_DT_ENDPOINT_SIZE;
    e.bDescriptorType = USB_DT_ENDPOINT;
    e.bEndpointAddress = address;
    e.bmAttributes = attributes;
    e.wMaxPacketSize = size;
    e.bInterval = attributes == USB_ENDPOINT_TYPE_INTERRUPT ? 12 : 0;
}


}  // namespace

SimulatedBus& SimulatedBus::Instance() {
    static SimulatedBus bus;
    return bus;
}

SimulatedBus::SimulatedBus() {
    std::snprintf(bus_.dirname, sizeof bus_.dirname, "001");
    bus_.location = 1;
    Reset();
}

// ---- settings ----

SettingsReading SimulatedBus::Read(const std::map<std::string, std::string>& overrides) {
    return ReadSimulatorSettings([&overrides](const std::string& name) -> std::optional<std::string> {
        if (const auto it = overrides.find(name); it != overrides.end())
            return it->second;
        return FromEnvironment(name);
    });
}

void SimulatedBus::Report(const std::vector<SettingError>& errors) {
    for (const SettingError& e : errors)
        if (reported_.insert(e.message).second)
            std::fprintf(stderr, "fake libusb: %s\n", e.message.c_str());
}

// ---- devices ----

SimDevice& SimulatedBus::AddDevice(bool meter) {
    auto owned = std::make_unique<SimDevice>();
    SimDevice& d = *owned;
    d.meter = meter;
    const int number = nextDeviceNumber_++;
    std::snprintf(d.device.filename, sizeof d.device.filename, "%03d", number);
    d.device.bus = &bus_;
    d.device.devnum = static_cast<std::uint8_t>(number);
    d.device.config = &d.config;

    usb_device_descriptor& desc = d.device.descriptor;
    desc.bLength = USB_DT_DEVICE_SIZE;
    desc.bDescriptorType = USB_DT_DEVICE;
    desc.bcdUSB = 0x0200;
    desc.bDeviceClass = meter ? 0x00 : USB_CLASS_HUB;
    desc.bMaxPacketSize0 = 64;
    desc.idVendor = meter ? MeterVendor : HubVendor;
    desc.idProduct = meter ? MeterProduct : HubProduct;
    desc.bcdDevice = meter ? 0x0100 : 0x0601;
    desc.bNumConfigurations = 1;

    d.setting.bLength = USB_DT_INTERFACE_SIZE;
    d.setting.bDescriptorType = USB_DT_INTERFACE;
    // The meter's interface is the maker's own class (0xFF).
    d.setting.bInterfaceClass = meter ? 0xFF : USB_CLASS_HUB;
    d.setting.endpoint = d.endpoints.data();
    if (meter) {
        Endpoint(d.endpoints[0], OutEndpoint, USB_ENDPOINT_TYPE_BULK, 64);
        Endpoint(d.endpoints[1], InEndpoint, USB_ENDPOINT_TYPE_BULK, 64);
        d.setting.bNumEndpoints = 2;
    } else {
        Endpoint(d.endpoints[0], 0x81, USB_ENDPOINT_TYPE_INTERRUPT, 4);
        d.setting.bNumEndpoints = 1;
    }
    d.interface.altsetting = &d.setting;
    d.interface.num_altsetting = 1;

    d.config.bLength = USB_DT_CONFIG_SIZE;
    d.config.bDescriptorType = USB_DT_CONFIG;
    d.config.wTotalLength = static_cast<std::uint16_t>(USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE +
                                                       d.setting.bNumEndpoints * USB_DT_ENDPOINT_SIZE);
    d.config.bNumInterfaces = 1;
    d.config.bConfigurationValue = 1;
    d.config.bmAttributes = meter ? 0x80 : 0xE0;
    d.config.MaxPower = meter ? 50 : 0;
    d.config.interface = &d.interface;

    devices_.push_back(std::move(owned));
    return d;
}

void SimulatedBus::Unplug(SimDevice& device) {
    device.connected = false;
    device.answer.clear();
}

void SimulatedBus::ApplyBusOptions(const BusOptions& options) {
    options_ = options;
    const std::size_t wanted = options.absent ? 0 : static_cast<std::size_t>(options.meters);
    std::vector<SimDevice*> plugged;
    for (const auto& d : devices_)
        if (d->meter && d->connected)
            plugged.push_back(d.get());
    for (std::size_t i = wanted; i < plugged.size(); ++i)
        Unplug(*plugged[i]);
    for (std::size_t i = plugged.size(); i < wanted; ++i)
        AddDevice(true);
    changed_.notify_all();
}

void SimulatedBus::Renew() {
    for (const auto& d : devices_)
        Unplug(*d);
    SettingsReading reading = Read(overrides_);
    Report(reading.errors);
    meter_ = MeterModel(std::move(reading.settings.meter));
    busFound_ = false;
    listed_.clear();
    nextDeviceNumber_ = 1;
    AddDevice(false);
    ApplyBusOptions(reading.settings.bus);
}

// ---- libusb 0.1 ----

int SimulatedBus::Fail(int result, const std::string& text) {
    std::snprintf(lastError_.data(), lastError_.size(), "%s", text.c_str());
    return result;
}

SimDevice& SimulatedBus::OpenDevice(usb_dev_handle* handle, const char* call) {
    if (!handle)
        Misuse(call, handle, "no handle (NULL)");
    const auto it = handles_.find(handle);
    if (it == handles_.end())
        Misuse(call, handle, "not a handle usb_open gave out");
    if (!handle->open)
        Misuse(call, handle, "the handle is closed already");
    return *handle->device;
}

int SimulatedBus::FindBusses() {
    const Lock lock(mutex_);
    if (busFound_)
        return 0;
    busFound_ = true;
    bus_.devices = nullptr;
    bus_.root_dev = nullptr;
    return 1;
}

int SimulatedBus::FindDevices() {
    const Lock lock(mutex_);
    if (!busFound_)
        return 0;
    std::vector<SimDevice*> now;
    for (const auto& d : devices_)
        if (d->connected)
            now.push_back(d.get());
    const auto absentFrom = [](const std::vector<SimDevice*>& from, const std::vector<SimDevice*>& in) {
        return static_cast<int>(std::count_if(from.begin(), from.end(), [&in](SimDevice* d) {
            return std::find(in.begin(), in.end(), d) == in.end();
        }));
    };
    const int changes = absentFrom(now, listed_) + absentFrom(listed_, now);

    struct usb_device* previous = nullptr;
    bus_.devices = nullptr;
    bus_.root_dev = nullptr;
    for (SimDevice* d : now) {
        d->device.prev = previous;
        d->device.next = nullptr;
        if (previous)
            previous->next = &d->device;
        else
            bus_.devices = &d->device;
        if (!d->meter && !bus_.root_dev)
            bus_.root_dev = &d->device;
        previous = &d->device;
    }
    listed_ = std::move(now);
    return changes;
}

usb_bus* SimulatedBus::Busses() {
    const Lock lock(mutex_);
    return busFound_ ? &bus_ : nullptr;
}

usb_dev_handle* SimulatedBus::Open(struct usb_device* device) {
    const Lock lock(mutex_);
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [device](const auto& d) { return &d->device == device; });
    if (it == devices_.end()) {
        Fail(0, "usb_open: not a device of this bus");
        return nullptr;
    }
    if (!(*it)->connected) {
        Fail(0, "usb_open: No such device (it has been unplugged)");
        return nullptr;
    }
    auto handle = std::make_unique<usb_dev_handle>();
    handle->device = it->get();
    usb_dev_handle* given = handle.get();
    handles_.emplace(given, std::move(handle));
    ++openHandles_;
    return given;
}

int SimulatedBus::Close(usb_dev_handle* handle) {
    const Lock lock(mutex_);
    if (handle && handles_.count(handle) && !handle->open)
        Misuse("usb_close", handle, "closed twice");
    OpenDevice(handle, "usb_close");
    handle->open = false;
    --openHandles_;
    changed_.notify_all();
    return 0;
}

struct usb_device* SimulatedBus::DeviceOf(usb_dev_handle* handle) {
    const Lock lock(mutex_);
    return &OpenDevice(handle, "usb_device").device;
}

int SimulatedBus::SetConfiguration(usb_dev_handle* handle, int configuration) {
    const Lock lock(mutex_);
    SimDevice& d = OpenDevice(handle, "usb_set_configuration");
    if (!d.connected)
        return Fail(-ENODEV, "could not set config " + std::to_string(configuration) + ": No such device");
    const int result = d.meter ? options_.configResult : 0;
    if (result != 0)
        return Fail(result, "could not set config " + std::to_string(configuration) + ": " + std::strerror(-result));
    return 0;
}

int SimulatedBus::ClaimInterface(usb_dev_handle* handle, int interface) {
    const Lock lock(mutex_);
    SimDevice& d = OpenDevice(handle, "usb_claim_interface");
    if (!d.connected)
        return Fail(-ENODEV, "could not claim interface " + std::to_string(interface) + ": No such device");
    const int result = d.meter ? options_.claimResult : 0;
    if (result != 0)
        return Fail(result, "could not claim interface " + std::to_string(interface) + ": " + std::strerror(-result));
    return 0;
}

int SimulatedBus::BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size) {
    const Lock lock(mutex_);
    SimDevice& d = OpenDevice(handle, "usb_bulk_write");
    if (!d.connected)
        return Fail(-ENODEV, "error writing to bulk endpoint: No such device");
    if (!d.meter || endpoint != OutEndpoint)
        return Fail(-EINVAL, "error writing to bulk endpoint " + std::to_string(endpoint) + ": no such endpoint");
    if (size < 0 || (size > 0 && !bytes))
        return Fail(-EINVAL, "error writing to bulk endpoint: Invalid argument");

    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes);
    const MeterAnswer answer = meter_.AnswerUsb(std::span(data, static_cast<std::size_t>(size)));
    Clock::time_point due = Clock::now();
    for (const AnswerChunk& chunk : answer) {
        due += chunk.delay;
        d.answer.push_back({due, chunk.bytes});
    }
    changed_.notify_all();
    return size;
}

int SimulatedBus::BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeout) {
    Lock lock(mutex_);
    SimDevice* d = &OpenDevice(handle, "usb_bulk_read");
    if (!d->connected)
        return Fail(-ENODEV, "error reading from bulk endpoint: No such device");
    // libusb 0.1 sets the direction bit of a read's endpoint itself.
    if (!d->meter || (endpoint | USB_ENDPOINT_IN) != InEndpoint)
        return Fail(-EINVAL, "error reading from bulk endpoint " + std::to_string(endpoint) + ": no such endpoint");
    if (size < 0 || (size > 0 && !bytes))
        return Fail(-EINVAL, "error reading from bulk endpoint: Invalid argument");

    // A time-out of 0 waits for as long as it takes, as in libusb 0.1.
    const std::optional<Clock::time_point> deadline =
        timeout > 0 ? std::optional(Clock::now() + std::chrono::milliseconds(timeout)) : std::nullopt;
    while (true) {
        d = &OpenDevice(handle, "usb_bulk_read");  // closed by another thread while waiting?
        if (!d->connected)
            return Fail(-ENODEV, "error reading from bulk endpoint: No such device");
        const Clock::time_point now = Clock::now();
        if (!d->answer.empty() && d->answer.front().due <= now) {
            const QueuedPart part = std::move(d->answer.front());
            d->answer.pop_front();
            const std::size_t room = static_cast<std::size_t>(size);
            // A read shorter than the part takes its first bytes and the rest
            // of it is lost: the meter cuts an answer part to what the host
            // asks for (the identification to 63 bytes, a drain to 64).
            const std::size_t taken = std::min(room, part.bytes.size());
            std::copy_n(part.bytes.begin(), taken, bytes);
            return static_cast<int>(taken);
        }
        if ((deadline && now >= *deadline) || (options_.instantTimeouts && d->answer.empty()))
            return Fail(-ETIMEDOUT, "error reading from bulk endpoint: Connection timed out");
        std::optional<Clock::time_point> wake = deadline;
        if (!d->answer.empty() && (!wake || d->answer.front().due < *wake))
            wake = d->answer.front().due;
        if (wake)
            changed_.wait_until(lock, *wake);
        else
            changed_.wait(lock);
    }
}

int SimulatedBus::ResetDevice(usb_dev_handle* handle) {
    const Lock lock(mutex_);
    SimDevice& d = OpenDevice(handle, "usb_reset");
    if (!d.connected)
        return Fail(-ENODEV, "could not reset: No such device");
    d.answer.clear();
    changed_.notify_all();
    return 0;
}

int SimulatedBus::Unmodelled(usb_dev_handle* handle, const char* call, int result) {
    const Lock lock(mutex_);
    OpenDevice(handle, call);
    if (result < 0)
        return Fail(result, std::string(call) + ": not simulated: " + std::strerror(-result));
    return result;
}

const char* SimulatedBus::LastError() {
    const Lock lock(mutex_);
    return lastError_.data();
}

// ---- control ----

int SimulatedBus::Set(const char* name, const char* value) {
    const Lock lock(mutex_);
    if (!name || !IsSimulatorSetting(name)) {
        std::fprintf(stderr, "fake libusb: velsim_usb_set: \"%s\" is no setting\n", name ? name : "(null)");
        return -1;
    }
    std::map<std::string, std::string> overrides = overrides_;
    if (value)
        overrides[name] = value;
    else
        overrides.erase(name);
    SettingsReading reading = Read(overrides);
    for (const SettingError& e : reading.errors)
        if (e.name == name) {
            std::fprintf(stderr, "fake libusb: velsim_usb_set: %s\n", e.message.c_str());
            return -1;
        }
    overrides_ = std::move(overrides);
    meter_.Setup() = std::move(reading.settings.meter);
    ApplyBusOptions(reading.settings.bus);
    return 0;
}

void SimulatedBus::Reset() {
    const Lock lock(mutex_);
    overrides_.clear();
    Fail(0, "No error");
    Renew();
}

int SimulatedBus::Taken(const char* command) {
    const Lock lock(mutex_);
    const std::optional<MeterCommand> which =
        command ? CommandNamed(command) : std::nullopt;
    return which ? meter_.Taken(*which) : -1;
}

int SimulatedBus::OpenHandles() {
    const Lock lock(mutex_);
    return openHandles_;
}

}  // namespace velsim
