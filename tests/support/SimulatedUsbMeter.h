#pragma once

#include <string>

struct usb_device;
struct usb_dev_handle;

// The simulated USB meter of the fake libusb (sim/usb/), for a test: loads the
// library, so it stays loaded while the test runs (the program's own dlclose
// then does not throw the simulated bus away), and gives the test its control
// calls. The test program runs with LD_LIBRARY_PATH naming the fake library's
// folder (vel_add_test ... USB), so the name finds it, as it finds it for the
// program under test.
//
// Construction starts a fresh meter and bus from the environment (Reset);
// failures throw std::runtime_error.
//
// While a library with the soname libusb-0.1.so.4 is loaded, loading that name
// gives the one loaded first. So a test that wants the program to meet the
// library without usb_control_msg loads VEL_FAKE_LIBUSB_INCOMPLETE by path
// here before the program loads libusb, and no full one; a test holding both
// loads the full one first.
class SimulatedUsbMeter {
public:
    explicit SimulatedUsbMeter(const char* library = "libusb-0.1.so.4");
    ~SimulatedUsbMeter();
    SimulatedUsbMeter(const SimulatedUsbMeter&) = delete;
    SimulatedUsbMeter& operator=(const SimulatedUsbMeter&) = delete;

    // A fresh meter and bus from the environment, settings set here forgotten.
    void Reset();
    // One VELSIM_ setting at once (sim/SimulatorSettings.h); nullptr takes it
    // back. Throws when the library refuses it.
    void Set(const char* name, const char* value);
    void Set(const char* name, const std::string& value) { Set(name, value.c_str()); }
    // The same, telling instead of throwing: false when refused.
    bool TrySet(const char* name, const char* value);
    // Frames of "ident", "count", "record" or "screen" taken since the reset.
    int Taken(const char* command) const;
    int OpenHandles() const;
    // The device a handle the program opened is on (usb_device).
    struct usb_device* DeviceOf(usb_dev_handle* handle) const;

    // Any function the library exports, or nullptr.
    void* Symbol(const char* name) const;
    template <class F>
    F* Function(const char* name) const {
        return reinterpret_cast<F*>(Symbol(name));
    }

private:
    void* Required(const char* name) const;

    void* library_ = nullptr;
    int (*set_)(const char*, const char*) = nullptr;
    void (*reset_)() = nullptr;
    int (*taken_)(const char*) = nullptr;
    int (*openHandles_)() = nullptr;
    struct usb_device* (*deviceOf_)(usb_dev_handle*) = nullptr;
};
