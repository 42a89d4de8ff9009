#include "transport/TThreadComm.h"

#include "transport/TCommEventThread.h"

#include <array>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

constexpr std::uint32_t MAXDWORD = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t AllEvents = 0x01FF;
constexpr std::uint16_t XonXoffLimit = 1024;

constexpr std::array<std::uint32_t, 15> BaudRates = {
    110, 300, 600, 1200, 2400, 4800, 9600, 12800, 19200, 38400, 56000, 57600, 115200, 128000, 256000,
};
constexpr std::array<std::uint32_t, 9> EventBits = {
    EV_BREAK, EV_CTS, EV_DSR, EV_ERR, EV_RING, EV_RLSD, EV_RXCHAR, EV_RXFLAG, EV_TXEMPTY,
};

[[noreturn]] void RaiseCommError(const char* text, long code) {
    std::string message(text);
    message += " (Error: ";
    message += std::to_string(code);
    message += ')';
    throw std::runtime_error(message);
}

// The last error as the messages show it: a signed number.
long LastError(CommApi& api) {
    return static_cast<std::int32_t>(api.GetLastError());
}

}  // namespace

std::uint32_t DcbBaudRate(TBaudRate rate) {
    return BaudRates[rate];
}

// 19200 divided by the rate's ordinal, not by the rate itself: generous at
// every rate (a byte takes 0.1 ms at 115200 baud and is allowed 1600 ms). The
// division has no value for br110, ordinal 0; it gets br300's 19200 ms, still
// far above the 100 ms a byte of 11 bits takes at 110 baud.
std::uint32_t WriteTimeoutMultiplier(TBaudRate rate) {
    return 19200 / (rate == br110 ? 1u : static_cast<std::uint32_t>(rate));
}

std::uint32_t CommEventMask(TCommEventTypes events) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < EventBits.size(); ++i)
        if (events.Contains(static_cast<TCommEventType>(i)))
            mask |= EventBits[i];
    return mask;
}

TThreadComm::TThreadComm(CommApi& api, QObject* owner) : QObject(owner), api_(api) {}

TThreadComm::~TThreadComm() {
    Close();
}

void TThreadComm::Open() {
    const char* failure = nullptr;
    long failureCode = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        CheckOpen();
        CreateHandle();
        if (!open_)
            return;
        try {
            UpdateCommTimeouts();
            UpdateDataControlBlock();
        } catch (...) {
            // Refused settings leave no half-configured port behind.
            DestroyHandle();
            throw;
        }
        if (!api_.SetupComm(handle_, readBufSize_, writeBufSize_)) {
            failure = "Error initializing Read/Write Buffers";
            failureCode = LastError(api_);
        }
        eventThread_ = std::make_unique<TCommEventThread>(api_, handle_, suspendTime_, CommEventMask(monitorEvents_));
        eventThread_->SetCallback([this](TCommEventThread* sender, std::uint32_t events) {
            HandleCommEvent(sender, events);
        });
        eventThread_->Start();
    }
    if (failure)
        RaiseCommError(failure, failureCode);
}

void TThreadComm::Close() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!open_)
        return;
    if (eventThread_) {
        eventThread_->SetCallback({});
        eventThread_->Stop();
        eventThread_.reset();
    }
    DestroyHandle();
}

void TThreadComm::CreateHandle() {
    handle_ = api_.CreateFile(deviceName_);
    if (handle_ == InvalidCommHandle)
        return;
    open_ = true;
    if (!api_.IsCharacterDevice(handle_)) {
        DestroyHandle();
        return;
    }
    api_.SetCommMask(handle_, AllEvents);
}

void TThreadComm::DestroyHandle() {
    api_.CloseHandle(handle_);
    open_ = false;
    handle_ = InvalidCommHandle;
}

void TThreadComm::CheckOpen() const {
    if (open_)
        RaiseCommError("Port already assigned (open)", -1);
}

std::uint32_t TThreadComm::ClearError(COMSTAT& stat) {
    std::uint32_t errors = 0;
    api_.ClearCommError(handle_, errors, stat);
    return errors;
}

int TThreadComm::Write(const void* buffer, std::uint32_t count) {
    if (!open_)
        return -1;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    COMSTAT stat;
    std::uint32_t done = 0;
    if (api_.WriteFile(handle_, buffer, count, done))
        return static_cast<int>(done);
    if (api_.GetLastError() != ERROR_IO_PENDING) {
        ClearError(stat);
        return 0;
    }
    // Writes here are a few bytes long: poll for the end without a pause.
    while (!api_.GetOverlappedResult(handle_, CommTransfer::Write, done, false)) {
        if (api_.GetLastError() != ERROR_IO_INCOMPLETE) {
            ClearError(stat);
            break;
        }
    }
    return static_cast<int>(done);
}

int TThreadComm::Read(void* buffer, std::uint32_t count) {
    if (!open_)
        return -1;
    std::lock_guard<std::recursive_mutex> hold(lock_);
    COMSTAT stat;
    ClearError(stat);
    if (count == 0) {
        ClearError(stat);
        return 0;
    }
    std::uint32_t done = 0;
    if (api_.ReadFile(handle_, buffer, count, done))
        return static_cast<int>(done);
    if (api_.GetLastError() != ERROR_IO_PENDING)
        return 0;
    while (!api_.GetOverlappedResult(handle_, CommTransfer::Read, done, true)) {
        if (api_.GetLastError() != ERROR_IO_INCOMPLETE) {
            ClearError(stat);
            break;
        }
    }
    return static_cast<int>(done);
}

int TThreadComm::InQueCount() {
    if (!open_)
        return -1;
    COMSTAT stat;
    ClearError(stat);
    return static_cast<int>(stat.cbInQue);
}

int TThreadComm::OutQueCount() {
    if (!open_)
        return -1;
    COMSTAT stat;
    ClearError(stat);
    return static_cast<int>(stat.cbOutQue);
}

void TThreadComm::PurgeIn() {
    if (open_)
        api_.PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
}

void TThreadComm::PurgeOut() {
    if (open_)
        api_.PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
}

bool TThreadComm::GetModemState(int selector) {
    if (!open_)
        return false;
    std::uint32_t status = 0;
    if (!api_.GetCommModemStatus(handle_, status))
        return false;
    switch (selector) {
    case 1: return (status & MS_CTS_ON) != 0;
    case 2: return (status & MS_DSR_ON) != 0;
    case 3: return (status & MS_RING_ON) != 0;
    case 4: return (status & MS_RLSD_ON) != 0;
    default: return false;
    }
}

bool TThreadComm::GetComState(int selector) {
    if (!open_)
        return false;
    COMSTAT stat;
    ClearError(stat);
    switch (selector) {
    case 2: return stat.fDsrHold;
    case 3: return stat.fRlsdHold;
    case 4: return stat.fXoffHold;
    case 5: return stat.fXoffSent;
    default: return stat.fCtsHold;
    }
}

void TThreadComm::EscapeComm(std::uint32_t function) {
    if (!open_)
        RaiseCommError("Port not open", -1);
    bool done = false;
    long error = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        done = api_.EscapeCommFunction(handle_, function);
        if (!done)
            error = LastError(api_);
    }
    if (!done)
        RaiseCommError("EscapeCommFunction failure", error);
}

void TThreadComm::SetDTRState(bool on) {
    EscapeComm(on ? SETDTR : CLRDTR);
}

void TThreadComm::SetRTSState(bool on) {
    EscapeComm(on ? SETRTS : CLRRTS);
}

void TThreadComm::SetBREAKState(bool on) {
    EscapeComm(on ? SETBREAK : CLRBREAK);
    if (open_) {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        api_.PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
}

void TThreadComm::SetXONState(bool on) {
    EscapeComm(on ? SETXON : SETXOFF);
}

void TThreadComm::UpdateCommTimeouts() {
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = static_cast<std::uint32_t>(readTimeout_);
    timeouts.WriteTotalTimeoutMultiplier = WriteTimeoutMultiplier(baudRate_);
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!api_.SetCommTimeouts(handle_, timeouts))
        RaiseCommError("Error updating CommTimeouts", LastError(api_));
}

void TThreadComm::UpdateDataControlBlock() {
    if (!open_)
        return;
    api_.SetupComm(handle_, readBufSize_, writeBufSize_);
    // Whatever is not set below (the flow-control fields among them) stays as
    // the driver reports it.
    api_.GetCommState(handle_, dcb_);
    dcb_.BaudRate = DcbBaudRate(baudRate_);
    dcb_.Parity = static_cast<std::uint8_t>(parity_);
    dcb_.StopBits = static_cast<std::uint8_t>(stopBits_);
    dcb_.ByteSize = static_cast<std::uint8_t>(4 + dataBits_);
    dcb_.XonChar = eventChars_.XOnChar();
    dcb_.XoffChar = eventChars_.XOffChar();
    dcb_.ErrorChar = eventChars_.ErrorChar();
    dcb_.EofChar = eventChars_.EofChar();
    dcb_.EvtChar = eventChars_.EvtChar();
    dcb_.XonLim = XonXoffLimit;
    dcb_.XoffLim = XonXoffLimit;
    dcb_.fParity = options_.Contains(coParityCheck);
    dcb_.fDsrSensitivity = options_.Contains(coDsrSensitivity);
    dcb_.fTXContinueOnXoff = options_.Contains(coIgnoreXOff);
    dcb_.fErrorChar = options_.Contains(coErrorChar);
    dcb_.fNull = options_.Contains(coNullStrip);
    if (!api_.SetCommState(handle_, dcb_))
        RaiseCommError("Error updating DataControlBlock", LastError(api_));
}

void TThreadComm::UpdateDataControlBlockLock() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    UpdateDataControlBlock();
}

void TThreadComm::HandleCommEvent(TCommEventThread*, std::uint32_t events) {
    COMSTAT stat;
    std::uint32_t errors = 0;
    if (open_)
        errors = ClearError(stat);
    const auto fire = [this](const TNotifyEvent& handler) {
        if (handler)
            handler(this);
    };
    if (events & EV_BREAK)
        fire(OnBreak);
    if (events & EV_CTS)
        fire(OnCts);
    if (events & EV_DSR)
        fire(OnDsr);
    if ((events & EV_ERR) && OnError)
        OnError(this, static_cast<int>(errors));
    if (events & EV_RING)
        fire(OnRing);
    if (events & EV_RLSD)
        fire(OnRlsd);
    if ((events & EV_RXCHAR) && stat.cbInQue > 0 && OnRxChar)
        OnRxChar(this, stat.cbInQue);
    if (events & EV_RXFLAG)
        fire(OnRxFlag);
    if (events & EV_TXEMPTY)
        fire(OnTxEmpty);
    if (OnComStatEvent)
        OnComStatEvent(this, events, stat);
}

template <typename T>
void TThreadComm::SetLineSetting(T& field, T value) {
    if (field == value)
        return;
    field = value;
    UpdateDataControlBlockLock();
}

template <typename T>
void TThreadComm::SetWhileClosed(T& field, T value) {
    if (!open_ && field != value)
        field = value;
}

void TThreadComm::SetDeviceName(const QString& value) {
    SetWhileClosed(deviceName_, value);
}
void TThreadComm::SetReadBufSize(std::uint16_t value) {
    SetWhileClosed(readBufSize_, value);
}
void TThreadComm::SetWriteBufSize(std::uint16_t value) {
    SetWhileClosed(writeBufSize_, value);
}
void TThreadComm::SetSuspendTime(std::uint32_t value) {
    SetWhileClosed(suspendTime_, value);
}
void TThreadComm::SetMonitorEvents(TCommEventTypes value) {
    SetWhileClosed(monitorEvents_, value);
}
void TThreadComm::SetBaudRate(TBaudRate value) {
    SetLineSetting(baudRate_, value);
}
void TThreadComm::SetParity(TParity value) {
    SetLineSetting(parity_, value);
}
void TThreadComm::SetStopBits(TStopBits value) {
    SetLineSetting(stopBits_, value);
}
void TThreadComm::SetDataBits(TDataBits value) {
    SetLineSetting(dataBits_, value);
}
void TThreadComm::SetOptions(TCommOptions value) {
    SetLineSetting(options_, value);
}
void TThreadComm::SetFlowControl(TFlowControl value) {
    SetLineSetting(flowControl_, value);
}
