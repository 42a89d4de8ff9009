#pragma once

#include "sim/MeterModel.h"
#include "sim/SimulatorSettings.h"

#include <usb.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// The one simulated USB bus behind the fake libusb 0.1: a root hub and the
// meters, the handles the program opened on them, and the meter's answers
// waiting to be read. libusb is a C library with process-wide state, so the
// fake one holds this one object; every call takes its mutex.

namespace velsim {

// The meter's endpoints and who it is.
inline constexpr int OutEndpoint = 0x01;
inline constexpr int InEndpoint = 0x82;
inline constexpr std::uint16_t MeterVendor = 0x03EB;
inline constexpr std::uint16_t MeterProduct = 0x0130;
inline constexpr std::uint16_t HubVendor = 0x1D6B;
inline constexpr std::uint16_t HubProduct = 0x0002;

// One answer part, read out whole by one bulk read once it is due.
struct QueuedPart {
    std::chrono::steady_clock::time_point due;
    std::vector<std::uint8_t> bytes;
};

// A device on the bus, with the descriptors the program walks. It stays in
// memory as long as the bus does, plugged or not, so a pointer the program
// kept never dangles.
struct SimDevice {
    struct usb_device device{};
    usb_config_descriptor config{};
    usb_interface interface{};
    usb_interface_descriptor setting{};
    std::array<usb_endpoint_descriptor, 2> endpoints{};
    bool meter = false;
    bool connected = true;
    std::deque<QueuedPart> answer;
};

}  // namespace velsim

// What usb_open gives out; <usb.h> leaves its contents to the library.
struct usb_dev_handle {
    velsim::SimDevice* device = nullptr;
    bool open = true;
};

namespace velsim {

class SimulatedBus {
public:
    // The bus, made from the environment on first use.
    static SimulatedBus& Instance();

    SimulatedBus();
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    // ---- libusb 0.1 ----
    int FindBusses();
    int FindDevices();
    usb_bus* Busses();
    usb_dev_handle* Open(struct usb_device* device);
    int Close(usb_dev_handle* handle);
    struct usb_device* DeviceOf(usb_dev_handle* handle);
    int SetConfiguration(usb_dev_handle* handle, int configuration);
    int ClaimInterface(usb_dev_handle* handle, int interface);
    int BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size);
    int BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeout);
    // usb_reset: the answers not yet read are gone.
    int ResetDevice(usb_dev_handle* handle);
    // Calls the simulator does not model: the handle is checked, result returned.
    int Unmodelled(usb_dev_handle* handle, const char* call, int result);
    const char* LastError();

    // ---- the control calls (FakeLibUsbControl.h) ----
    int Set(const char* name, const char* value);
    void Reset();
    int Taken(const char* command);
    int OpenHandles();

private:
    using Lock = std::unique_lock<std::mutex>;

    // Settings from the environment, overridden by the ones set by name.
    SettingsReading Read(const std::map<std::string, std::string>& overrides);
    void Report(const std::vector<SettingError>& errors);
    // A fresh bus from the settings: new devices, the bus not yet found.
    void Renew();
    SimDevice& AddDevice(bool meter);
    void Unplug(SimDevice& device);
    void ApplyBusOptions(const BusOptions& options);
    // The device of a handle that is open; anything else is a fault of the
    // calling program: a message, then abort.
    SimDevice& OpenDevice(usb_dev_handle* handle, const char* call);
    int Fail(int result, const std::string& text);

    std::mutex mutex_;
    std::condition_variable changed_;  // a part queued, a meter unplugged, a handle closed

    std::map<std::string, std::string> overrides_;
    MeterModel meter_;
    BusOptions options_;
    std::set<std::string> reported_;  // setting messages printed already

    usb_bus bus_{};
    bool busFound_ = false;
    std::vector<std::unique_ptr<SimDevice>> devices_;  // every device ever made, in order
    std::vector<SimDevice*> listed_;                   // the bus's list as of the last FindDevices
    int nextDeviceNumber_ = 1;

    std::unordered_map<const usb_dev_handle*, std::unique_ptr<usb_dev_handle>> handles_;  // every handle given out
    int openHandles_ = 0;

    std::array<char, 256> lastError_{};
};

}  // namespace velsim
