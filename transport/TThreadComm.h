#pragma once

#include "platform/CommApi.h"
#include "transport/EnumSet.h"
#include "transport/TCommEventChars.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class TCommEventThread;

enum TBaudRate {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000,
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb10, sb15, sb20 };
enum TDataBits { da4, da5, da6, da7, da8 };
// Stored and published; no line setting follows from it, the flow-control
// fields of the line stay as the driver reports them.
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType { evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty };

using TCommOptions = EnumSet<TCommOption, std::uint8_t>;
using TCommEventTypes = EnumSet<TCommEventType, std::uint16_t>;

// What each baud rate puts into the line: the rate in baud (br14400 runs at
// 12800) and the write time limit in ms per byte.
std::uint32_t DcbBaudRate(TBaudRate rate);
std::uint32_t WriteTimeoutMultiplier(TBaudRate rate);
// The EV_ bits of a set of events.
std::uint32_t CommEventMask(TCommEventTypes events);

// Events of the component; Sender is always the component.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TCommErrorEvent = std::function<void(QObject* Sender, int Errors)>;
using TCommRxCharEvent = std::function<void(QObject* Sender, std::uint32_t Count)>;
using TCommComStatEvent = std::function<void(QObject* Sender, std::uint32_t Status, const COMSTAT& ComStat)>;

// One serial port: opens the device, applies the line settings, buffer sizes
// and time-outs, reads and writes under a lock, reports and purges the
// queues, drives and reads the modem lines, and while open runs a thread that
// waits for line events and fires the component's events for them on the UI
// thread.
//
// Every operation is for the UI thread. Errors are raised as
// std::runtime_error with the texts below, "%d" replaced by the code; a device
// that cannot be opened is no error (test Enabled), nor are transfer failures
// (a short count).
class TThreadComm : public QObject {
    Q_OBJECT

public:
    // api outlives the component.
    explicit TThreadComm(CommApi& api, QObject* owner = nullptr);
    ~TThreadComm() override;

    // Opens and configures the port and starts its event thread. Raises
    // "Port already assigned (open) (Error: -1)" when open, "Error updating
    // CommTimeouts (Error: %d)" or "Error updating DataControlBlock (Error:
    // %d)" when the device refuses the settings (the port is closed again
    // first), and "Error initializing Read/Write Buffers (Error: %d)" when it
    // refuses the queue sizes (the port stays open and watched).
    void Open();
    // Stops the event thread and closes the port; nothing when closed.
    void Close();
    bool Enabled() const { return open_; }

    // Bytes written, or -1 when closed. May take up to count × the write
    // time limit per byte.
    int Write(const void* buffer, std::uint32_t count);
    // Bytes read, or -1 when closed. Waits until count bytes have come or
    // ReadTimeout ms have passed, and returns what came.
    int Read(void* buffer, std::uint32_t count);
    // Bytes waiting to be read, bytes not yet sent; -1 when closed.
    int InQueCount();
    int OutQueCount();
    // Discard pending input, pending output; nothing when closed.
    void PurgeIn();
    void PurgeOut();

    // 1 CTS, 2 DSR, 3 ring, 4 RLSD; false for any other selector, a closed
    // port or a failed query.
    bool GetModemState(int selector);
    // 2 DSR hold, 3 RLSD hold, 4 XOFF hold, 5 XOFF sent, any other CTS
    // hold; false on a closed port.
    bool GetComState(int selector);
    // Raise "Port not open (Error: -1)" on a closed port and
    // "EscapeCommFunction failure (Error: %d)" when the device refuses.
    void SetDTRState(bool on);
    void SetRTSState(bool on);
    // Then purges both directions.
    void SetBREAKState(bool on);
    // true: as if XON was received; false: as if XOFF was.
    void SetXONState(bool on);
    void EscapeComm(std::uint32_t function);

    // Raises "Port already assigned (open) (Error: -1)" when open.
    void CheckOpen() const;
    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }

    // Re-apply the line settings now when open (nothing when closed), the
    // second under the lock.
    void UpdateDataControlBlock();
    void UpdateDataControlBlockLock();
    void UpdateCommTimeouts();

    // Dispatches one event word to the assigned handlers, in the order of
    // the handlers below, then OnComStatEvent; the event thread's callback.
    void HandleCommEvent(TCommEventThread* Sender, std::uint32_t events);

    // Properties. Those marked "closed only" are taken only while the port is
    // closed and only when different; the line settings re-apply at once.
    QString DeviceName() const { return deviceName_; }
    void SetDeviceName(const QString& value);  // closed only
    std::int32_t ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(std::int32_t value) { readTimeout_ = value; }  // for the next Open
    std::int32_t WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(std::int32_t value) { writeTimeout_ = value; }  // kept, unused
    std::uint16_t ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(std::uint16_t value);  // closed only
    std::uint16_t WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(std::uint16_t value);  // closed only
    std::uint32_t SuspendTime() const { return suspendTime_; }
    void SetSuspendTime(std::uint32_t value);  // closed only; handed to the event thread, unused
    TCommEventTypes MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TCommEventTypes value);  // closed only
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    TCommEventChars& EventChars() { return eventChars_; }
    const TCommEventChars& EventChars() const { return eventChars_; }
    TCommOptions Options() const { return options_; }
    void SetOptions(TCommOptions value);
    TFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TFlowControl value);

    TNotifyEvent OnBreak;
    TNotifyEvent OnCts;
    TNotifyEvent OnDsr;
    TCommErrorEvent OnError;
    TNotifyEvent OnRing;
    TNotifyEvent OnRlsd;
    TCommRxCharEvent OnRxChar;  // only while bytes wait, with their count
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnTxEmpty;
    TCommComStatEvent OnComStatEvent;  // every event, last

protected:
    // Opens the device handle; Open calls it.
    virtual void CreateHandle();
    // Closes it, clears the open flag and forgets the handle.
    void DestroyHandle();

private:
    // Stores value in field and re-applies the line settings when it changed.
    template <typename T>
    void SetLineSetting(T& field, T value);
    // Stores value in field while closed and when it changed.
    template <typename T>
    void SetWhileClosed(T& field, T value);
    // Clears the device's error state; the flags and queue counts it returned.
    std::uint32_t ClearError(COMSTAT& stat);

    CommApi& api_;
    CommHandle handle_ = InvalidCommHandle;
    bool open_ = false;
    DCB dcb_;
    std::recursive_mutex lock_;
    std::unique_ptr<TCommEventThread> eventThread_;
    TCommEventChars eventChars_{*this};

    QString deviceName_ = QStringLiteral("Com2");
    std::int32_t readTimeout_ = 1000;
    std::int32_t writeTimeout_ = 1000;
    std::uint16_t readBufSize_ = 4096;
    std::uint16_t writeBufSize_ = 2048;
    std::uint32_t suspendTime_ = 5;
    TCommEventTypes monitorEvents_{evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty};
    TBaudRate baudRate_ = br9600;
    TParity parity_ = paNone;
    TStopBits stopBits_ = sb10;
    TDataBits dataBits_ = da8;
    TCommOptions options_;
    TFlowControl flowControl_ = fcDefault;
};
