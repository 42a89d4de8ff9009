#include "support/SimulatedUsbMeter.h"

#include "sim/usb/FakeLibUsbControl.h"

#include <dlfcn.h>

#include <stdexcept>
#include <type_traits>

SimulatedUsbMeter::SimulatedUsbMeter(const char* library) {
    library_ = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!library_)
        throw std::runtime_error(std::string("SimulatedUsbMeter: cannot load ") + library + ": " + dlerror());
    try {
        set_ = reinterpret_cast<decltype(set_)>(Required("velsim_usb_set"));
        reset_ = reinterpret_cast<decltype(reset_)>(Required("velsim_usb_reset"));
        taken_ = reinterpret_cast<decltype(taken_)>(Required("velsim_usb_taken"));
        openHandles_ = reinterpret_cast<decltype(openHandles_)>(Required("velsim_usb_open_handles"));
        deviceOf_ = reinterpret_cast<decltype(deviceOf_)>(Required("usb_device"));
    } catch (...) {
        dlclose(library_);
        throw;
    }
    static_assert(std::is_same_v<decltype(set_), decltype(&velsim_usb_set)>);
    static_assert(std::is_same_v<decltype(reset_), decltype(&velsim_usb_reset)>);
    static_assert(std::is_same_v<decltype(taken_), decltype(&velsim_usb_taken)>);
    static_assert(std::is_same_v<decltype(openHandles_), decltype(&velsim_usb_open_handles)>);
    Reset();
}

SimulatedUsbMeter::~SimulatedUsbMeter() {
    dlclose(library_);
}

void* SimulatedUsbMeter::Symbol(const char* name) const {
    return dlsym(library_, name);
}

void* SimulatedUsbMeter::Required(const char* name) const {
    void* symbol = Symbol(name);
    if (!symbol)
        throw std::runtime_error(std::string("SimulatedUsbMeter: the library lacks ") + name);
    return symbol;
}

void SimulatedUsbMeter::Reset() {
    reset_();
}

void SimulatedUsbMeter::Set(const char* name, const char* value) {
    if (!TrySet(name, value))
        throw std::runtime_error(std::string("SimulatedUsbMeter: refused ") + name + "=" + (value ? value : "(default)"));
}

bool SimulatedUsbMeter::TrySet(const char* name, const char* value) {
    return set_(name, value) == 0;
}

int SimulatedUsbMeter::Taken(const char* command) const {
    return taken_(command);
}

int SimulatedUsbMeter::OpenHandles() const {
    return openHandles_();
}

struct usb_device* SimulatedUsbMeter::DeviceOf(usb_dev_handle* handle) const {
    return deviceOf_(handle);
}
