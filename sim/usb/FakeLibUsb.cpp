// The libusb 0.1 entry points, each handing over to the one simulated bus.
// The prototypes come from the real <usb.h>, so a signature that drifts from
// the real library's does not compile.

#include "sim/usb/FakeLibUsbControl.h"
#include "sim/usb/SimulatedBus.h"

#include <usb.h>

#include <cerrno>

using velsim::SimulatedBus;

namespace {

SimulatedBus& Bus() {
    return SimulatedBus::Instance();
}

}  // namespace

extern "C" {

void usb_init(void) {
    Bus();
}

void usb_set_debug(int) {}

int usb_find_busses(void) {
    return Bus().FindBusses();
}

int usb_find_devices(void) {
    return Bus().FindDevices();
}

struct usb_bus* usb_get_busses(void) {
    return Bus().Busses();
}

usb_dev_handle* usb_open(struct usb_device* dev) {
    return Bus().Open(dev);
}

int usb_close(usb_dev_handle* dev) {
    return Bus().Close(dev);
}

struct usb_device* usb_device(usb_dev_handle* dev) {
    return Bus().DeviceOf(dev);
}

char* usb_strerror(void) {
    return const_cast<char*>(Bus().LastError());
}

int usb_set_configuration(usb_dev_handle* dev, int configuration) {
    return Bus().SetConfiguration(dev, configuration);
}

int usb_claim_interface(usb_dev_handle* dev, int interface) {
    return Bus().ClaimInterface(dev, interface);
}

int usb_release_interface(usb_dev_handle* dev, int) {
    return Bus().Unmodelled(dev, "usb_release_interface", 0);
}

int usb_set_altinterface(usb_dev_handle* dev, int) {
    return Bus().Unmodelled(dev, "usb_set_altinterface", 0);
}

int usb_resetep(usb_dev_handle* dev, unsigned int) {
    return Bus().Unmodelled(dev, "usb_resetep", 0);
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int) {
    return Bus().Unmodelled(dev, "usb_clear_halt", 0);
}

int usb_reset(usb_dev_handle* dev) {
    return Bus().ResetDevice(dev);
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int) {
    return Bus().BulkWrite(dev, ep, bytes, size);
}

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
    return Bus().BulkRead(dev, ep, bytes, size, timeout);
}

int usb_interrupt_write(usb_dev_handle* dev, int, const char*, int, int) {
    return Bus().Unmodelled(dev, "usb_interrupt_write", -ENOSYS);
}

int usb_interrupt_read(usb_dev_handle* dev, int, char*, int, int) {
    return Bus().Unmodelled(dev, "usb_interrupt_read", -ENOSYS);
}

#ifndef VELSIM_WITHOUT_CONTROL_MSG
int usb_control_msg(usb_dev_handle* dev, int, int, int, int, char*, int, int) {
    return Bus().Unmodelled(dev, "usb_control_msg", -ENOSYS);
}
#endif

int usb_get_string(usb_dev_handle* dev, int, int, char*, size_t) {
    return Bus().Unmodelled(dev, "usb_get_string", -ENOSYS);
}

int usb_get_string_simple(usb_dev_handle* dev, int, char*, size_t) {
    return Bus().Unmodelled(dev, "usb_get_string_simple", -ENOSYS);
}

int usb_get_descriptor(usb_dev_handle* udev, unsigned char, unsigned char, void*, int) {
    return Bus().Unmodelled(udev, "usb_get_descriptor", -ENOSYS);
}

int usb_get_descriptor_by_endpoint(usb_dev_handle* udev, int, unsigned char, unsigned char, void*, int) {
    return Bus().Unmodelled(udev, "usb_get_descriptor_by_endpoint", -ENOSYS);
}

// ---- control ----

int velsim_usb_set(const char* name, const char* value) {
    return Bus().Set(name, value);
}

void velsim_usb_reset(void) {
    Bus().Reset();
}

int velsim_usb_taken(const char* command) {
    return Bus().Taken(command);
}

int velsim_usb_open_handles(void) {
    return Bus().OpenHandles();
}

}  // extern "C"
