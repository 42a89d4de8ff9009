#pragma once

// The USB access layer over libusb 0.1.
// Not connected yet: the library is never loaded, so shut-down has nothing to
// wait for.
class TLibUsbWin32 {
public:
    bool LibraryLoaded() const { return false; }
};

inline TLibUsbWin32 LibUSB;
