#pragma once

// The calls a test makes to the fake libusb 0.1 while a program uses it: they
// change the simulated meter and bus, and tell what the program did. Exported
// by the fake library beside the libusb functions; reach them with dlsym on
// the loaded library (tests/support/SimulatedUsbMeter.h does).
//
// All are safe to call from any thread while the program's own thread is
// inside a libusb call.

#ifdef __cplusplus
extern "C" {
#endif

// Sets one VELSIM_ setting (sim/SimulatorSettings.h) at once, on top of what
// the environment says; NULL takes it back to the environment's value, or to
// the built-in default when the environment does not name it.
// VELSIM_ABSENT and VELSIM_METERS plug and unplug meters now: an unplugged
// meter loses its queued answers, transfers on its open handles return
// -ENODEV, and the next usb_find_devices counts the change. The other settings
// shape the meter's answers from the next command on. 0, or -1 for a name that
// is no setting or a value that is refused (the message goes to stderr, and
// nothing changes).
int velsim_usb_set(const char* name, const char* value);

// A fresh meter and bus from the environment, as if the library had just been
// loaded: settings made with velsim_usb_set forgotten, taken frames counted
// from 0, the bus not yet found. The meters of before are unplugged; handles
// still open on them stay valid (transfers return -ENODEV, closing is fine).
void velsim_usb_reset(void);

// Frames of "ident", "count", "record" or "screen" the meter has taken since
// the last reset; -1 for another name.
int velsim_usb_taken(const char* command);

// Handles opened and not yet closed.
int velsim_usb_open_handles(void);

#ifdef __cplusplus
}
#endif
