#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// The communications calls the serial port component is built on, with the
// records and codes it fills and reads. The calls keep the shape of the
// Windows communications functions the component was designed around, so its
// logic reads as designed; underneath, TermiosCommApi drives a Linux serial
// device and the tests' fake plays a scripted one.
//
// Every call is made with a handle that CreateFile returned and that
// CloseHandle has not yet closed, except CreateFile itself. Calls that return
// bool report success; after a failure GetLastError tells why. The component
// calls one handle from several threads at once: transfers and queue
// counts from the UI thread, WaitCommEvent from its event thread, and
// CancelCommWait from the UI thread while that wait is pending. An
// implementation must allow exactly that.

using CommHandle = std::intptr_t;
inline constexpr CommHandle InvalidCommHandle = -1;

// The line settings: the fields of the Windows DCB the component touches,
// plus the flow-control fields it keeps as the driver reports them.
struct DCB {
    std::uint32_t BaudRate = 0;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    std::uint8_t fDtrControl = 0;  // DTR_CONTROL_DISABLE 0, ENABLE 1, HANDSHAKE 2
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    std::uint8_t fRtsControl = 0;  // RTS_CONTROL_DISABLE 0, ENABLE 1, HANDSHAKE 2, TOGGLE 3
    bool fAbortOnError = false;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;    // NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4
    std::uint8_t StopBits = 0;  // ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;

    bool operator==(const DCB&) const = default;
};

// Read and write time limits in ms. A read waits until it has the bytes it
// asked for or ReadTotalTimeoutConstant + n × ReadTotalTimeoutMultiplier ms
// have passed, and completes with what has arrived (ReadIntervalTimeout is
// kept, the component always gives MAXDWORD, which sets no limit between
// bytes); a write of n bytes may take WriteTotalTimeoutConstant + n ×
// WriteTotalTimeoutMultiplier ms. 0 in both parts of one direction: no limit.
struct COMMTIMEOUTS {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const COMMTIMEOUTS&) const = default;
};

// The device's queues and why its output holds.
struct COMSTAT {
    bool fCtsHold = false;
    bool fDsrHold = false;
    bool fRlsdHold = false;
    bool fXoffHold = false;
    bool fXoffSent = false;
    bool fEof = false;
    bool fTxim = false;
    std::uint32_t cbInQue = 0;   // bytes received and not yet read
    std::uint32_t cbOutQue = 0;  // bytes written and not yet sent

    bool operator==(const COMSTAT&) const = default;
};

// Events of WaitCommEvent and the mask that chooses them.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;   // a byte arrived
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;   // the event character arrived
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;  // the last written byte has been sent
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;      // a framing, overrun or parity error
inline constexpr std::uint32_t EV_RING = 0x0100;

// Error flags of ClearCommError.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// PurgeComm flags.
inline constexpr std::uint32_t PURGE_TXABORT = 0x0001;
inline constexpr std::uint32_t PURGE_RXABORT = 0x0002;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

// EscapeCommFunction codes.
inline constexpr std::uint32_t SETXOFF = 1;
inline constexpr std::uint32_t SETXON = 2;
inline constexpr std::uint32_t SETRTS = 3;
inline constexpr std::uint32_t CLRRTS = 4;
inline constexpr std::uint32_t SETDTR = 5;
inline constexpr std::uint32_t CLRDTR = 6;
inline constexpr std::uint32_t SETBREAK = 8;
inline constexpr std::uint32_t CLRBREAK = 9;

// GetCommModemStatus bits.
inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;

// GetLastError codes the component tells apart.
inline constexpr std::uint32_t ERROR_IO_INCOMPLETE = 996;
inline constexpr std::uint32_t ERROR_IO_PENDING = 997;

// The two transfers a handle may have in flight, one of each.
enum class CommTransfer { Read, Write };

class CommApi {
public:
    virtual ~CommApi() = default;

    // Opens the named device for reading and writing, exclusively: while it
    // is open, another open of the same device fails. InvalidCommHandle when
    // it does not exist, cannot be opened or is taken.
    virtual CommHandle CreateFile(const QString& name) = 0;
    // Whether the handle is a character device (FILE_TYPE_CHAR).
    virtual bool IsCharacterDevice(CommHandle handle) = 0;
    virtual bool CloseHandle(CommHandle handle) = 0;

    // Asks for input and output queues of these sizes in bytes.
    virtual bool SetupComm(CommHandle handle, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual bool GetCommState(CommHandle handle, DCB& dcb) = 0;
    virtual bool SetCommState(CommHandle handle, const DCB& dcb) = 0;
    virtual bool SetCommTimeouts(CommHandle handle, const COMMTIMEOUTS& timeouts) = 0;
    // The events (EV_ bits) that WaitCommEvent reports from now on.
    virtual bool SetCommMask(CommHandle handle, std::uint32_t mask) = 0;

    // Blocks until one or more of the chosen events has happened since the
    // previous wait, and puts their bits into events. False when the wait
    // failed or was released by CancelCommWait.
    virtual bool WaitCommEvent(CommHandle handle, std::uint32_t& events) = 0;
    // Releases a pending WaitCommEvent on the handle at once, and makes every
    // later one fail at once, until the handle is closed.
    virtual void CancelCommWait(CommHandle handle) = 0;

    // Starts a transfer of count bytes. True when it completed at once, with
    // done set; false with ERROR_IO_PENDING when it goes on (the buffer must
    // stay valid until it completes); false with another error when it failed.
    virtual bool ReadFile(CommHandle handle, void* buffer, std::uint32_t count, std::uint32_t& done) = 0;
    virtual bool WriteFile(CommHandle handle, const void* buffer, std::uint32_t count, std::uint32_t& done) = 0;
    // The outcome of the transfer last started in that direction: true with
    // done set once it completed; false with ERROR_IO_INCOMPLETE while it goes
    // on and wait is false (with wait true it blocks until it completes); false
    // with another error, done still set to what was moved, when it failed.
    virtual bool GetOverlappedResult(CommHandle handle, CommTransfer transfer, std::uint32_t& done, bool wait) = 0;

    // Returns the CE_ error flags gathered since the last call and clears
    // them, and fills stat.
    virtual bool ClearCommError(CommHandle handle, std::uint32_t& errors, COMSTAT& stat) = 0;
    // Discards the queues and aborts the transfers the PURGE_ flags name.
    virtual bool PurgeComm(CommHandle handle, std::uint32_t flags) = 0;
    // One of the escape codes above.
    virtual bool EscapeCommFunction(CommHandle handle, std::uint32_t function) = 0;
    // The MS_ bits of the modem lines that are on.
    virtual bool GetCommModemStatus(CommHandle handle, std::uint32_t& status) = 0;

    // Why the last failing call on the calling thread failed: ERROR_IO_PENDING,
    // ERROR_IO_INCOMPLETE, or a system error number (errno).
    virtual std::uint32_t GetLastError() = 0;
};

// Turns the name CreateFile is given into the path of the device to open.
using CommDevicePath = std::function<QString(const QString& name)>;

// The program's own communications: Linux serial devices through termios.
// CreateFile opens devicePath(name), or name itself when devicePath is empty.
std::unique_ptr<CommApi> MakeTermiosCommApi(CommDevicePath devicePath = {});
