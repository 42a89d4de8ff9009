#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

struct usb_dev_handle;

// The meter's USB link: libusb 0.1, loaded at run time, the meter found by its
// vendor and product identifiers, opened and claimed, and bulk transfers on its
// two endpoints. Every step is written to the link log.
//
// The USB worker drives it from its own thread; the port dialog and the exit
// action use it from the user-interface thread. One lock serialises every use
// of the library, so closing it from the dialog never pulls a device away
// under a running transfer; a transfer holds the lock for at most its
// 500 ms time-out. isDeviceOpened and isLibraryLoaded take no lock.
class LibUsbWin32 {
public:
    // What FindDevice shows in the status bar (with the progress bar hidden).
    // Called on FindDevice's thread after the lock is released, so it may hand
    // the text over to the user-interface thread and wait there.
    using StatusReport = std::function<void(const QString& text)>;

    static constexpr const char* DefaultLibraryFile = "libusb-0.1.so.4";
    static constexpr std::uint16_t VendorId = 0x03EB;
    static constexpr std::uint16_t ProductId = 0x0130;
    static constexpr int Configuration = 1;
    static constexpr int Interface = 0;
    static constexpr int OutEndpoint = 0x01;
    static constexpr int InEndpoint = 0x82;
    static constexpr int TransferTimeout = 500;  // ms, every bulk transfer
    static constexpr int EntryPointCount = 43;

    explicit LibUsbWin32(QString libraryFile = QString::fromLatin1(DefaultLibraryFile));
    // Gives a device and the library back, without log lines: at program exit
    // the link log may already be gone.
    ~LibUsbWin32();
    LibUsbWin32(const LibUsbWin32&) = delete;
    LibUsbWin32& operator=(const LibUsbWin32&) = delete;

    // 0 loaded (or already loaded), 1 the library file can't be loaded, 2 it
    // lacks an entry point the program needs.
    int Initialize();
    // 0 the meter is open (a claim that failed is shown, not returned), 1 it is
    // not on any bus: the not-connected message is shown. Needs Initialize.
    int FindDevice(const StatusReport& showStatus);
    // One bulk transfer of length bytes with the 500 ms time-out: the number of
    // bytes moved, or a negative error code; -ENODEV when no meter is open.
    // The log shows up to four bytes, so the buffer holds at least one even
    // for length 0.
    int WriteData(const std::uint8_t* bytes, unsigned length);
    int ReadData(std::uint8_t* buffer, unsigned length);
    void CloseDevice();
    void CloseLibUsb();

    bool isDeviceOpened() const { return deviceHandle_.load(std::memory_order_acquire) != nullptr; }
    bool isLibraryLoaded() const { return libraryHandle_.load(std::memory_order_acquire) != nullptr; }
    usb_dev_handle* DeviceHandle() const { return deviceHandle_.load(std::memory_order_acquire); }

    // The message for a result code: "" for 0, the table's text by errno
    // meaning in the language LanguageIndex selects, else "LibUsb: Error <code>".
    static QString GetErrorText(int code);

private:
    int Transfer(bool write, std::uint8_t* data, unsigned length);
    // Under the lock.
    void CloseDeviceLocked();
    void Unload();

    const QString libraryFile_;
    mutable std::mutex lock_;
    std::atomic<void*> libraryHandle_{nullptr};
    std::atomic<usb_dev_handle*> deviceHandle_{nullptr};
    // The library's functions, by the order of EntryPoints in the .cpp.
    std::array<void*, EntryPointCount> entryPoints_{};
    // What the last scan reported: the number of changes on the buses.
    int bussesChanged_ = 0;
    int devicesChanged_ = 0;
};

// The program's USB layer.
extern LibUsbWin32 LibUSB;
