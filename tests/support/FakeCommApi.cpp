#include "support/FakeCommApi.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;

// As the real calls keep it: one last error per calling thread.
thread_local std::uint32_t lastError = 0;

}  // namespace

void FakeCommApi::AddDevice(const QString& name, bool characterDevice) {
    std::lock_guard<std::mutex> hold(lock_);
    devices_[name].characterDevice = characterDevice;
}

void FakeCommApi::Fail(const std::string& call, std::uint32_t error, int times) {
    std::lock_guard<std::mutex> hold(lock_);
    failures_[call] = {error, times};
}

void FakeCommApi::Pend(CommTransfer transfer, PendingTransfer pending) {
    std::lock_guard<std::mutex> hold(lock_);
    (transfer == CommTransfer::Read ? pendingReads_ : pendingWrites_).push_back(pending);
}

void FakeCommApi::Receive(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
}

void FakeCommApi::ReceiveAfter(std::chrono::milliseconds delay, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    scheduled_.emplace(std::chrono::steady_clock::now() + delay, bytes);
}

void FakeCommApi::Arrive() {
    const auto now = std::chrono::steady_clock::now();
    while (!scheduled_.empty() && scheduled_.begin()->first <= now) {
        const auto& bytes = scheduled_.begin()->second;
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        scheduled_.erase(scheduled_.begin());
    }
}

std::vector<std::uint8_t> FakeCommApi::Sent() const {
    std::lock_guard<std::mutex> hold(lock_);
    return sent_;
}

void FakeCommApi::SetOutputQueue(std::uint32_t bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    outputQueue_ = bytes;
}

void FakeCommApi::SetHolds(const COMSTAT& holds) {
    std::lock_guard<std::mutex> hold(lock_);
    holds_ = holds;
}

void FakeCommApi::SetErrors(std::uint32_t errors) {
    std::lock_guard<std::mutex> hold(lock_);
    errors_ = errors;
}

void FakeCommApi::SetInputLines(bool cts, bool dsr, bool ring, bool rlsd) {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.cts = cts;
    lines_.dsr = dsr;
    lines_.ring = ring;
    lines_.rlsd = rlsd;
    ApplyWiring();
}

void FakeCommApi::LoopRtsToCts(bool on) {
    std::lock_guard<std::mutex> hold(lock_);
    rtsToCts_ = on;
    ApplyWiring();
}

FakeCommApi::Lines FakeCommApi::ModemLines() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lines_;
}

void FakeCommApi::RaiseEvents(std::uint32_t events) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        raisedEvents_ |= events;
    }
    wake_.notify_all();
}

std::vector<std::string> FakeCommApi::Calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
}

void FakeCommApi::ClearCalls() {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.clear();
}

DCB FakeCommApi::LastDcb() const {
    std::lock_guard<std::mutex> hold(lock_);
    return dcb_;
}

COMMTIMEOUTS FakeCommApi::LastTimeouts() const {
    std::lock_guard<std::mutex> hold(lock_);
    return timeouts_;
}

std::vector<std::uint32_t> FakeCommApi::Masks() const {
    std::lock_guard<std::mutex> hold(lock_);
    return masks_;
}

std::vector<std::uint32_t> FakeCommApi::Purges() const {
    std::lock_guard<std::mutex> hold(lock_);
    return purges_;
}

std::vector<std::uint32_t> FakeCommApi::Escapes() const {
    std::lock_guard<std::mutex> hold(lock_);
    return escapes_;
}

std::pair<std::uint32_t, std::uint32_t> FakeCommApi::QueueSizes() const {
    std::lock_guard<std::mutex> hold(lock_);
    return queueSizes_;
}

int FakeCommApi::OpenHandles() const {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<int>(handles_.size());
}

bool FakeCommApi::Waiting() const {
    std::lock_guard<std::mutex> hold(lock_);
    return waiting_;
}

void FakeCommApi::SetError(std::uint32_t error) {
    lastError = error;
}

bool FakeCommApi::Failing(const char* call) {
    const auto failure = failures_.find(call);
    if (failure == failures_.end() || failure->second.second == 0)
        return false;
    --failure->second.second;
    SetError(failure->second.first);
    return true;
}

bool FakeCommApi::Enter(const char* call, CommHandle handle) {
    calls_.push_back(call);
    if (!handles_.contains(handle)) {
        SetError(ERROR_INVALID_HANDLE);
        return false;
    }
    return !Failing(call);
}

void FakeCommApi::ApplyWiring() {
    if (rtsToCts_)
        lines_.cts = lines_.rts;
}

std::uint32_t FakeCommApi::TakeInput(void* buffer, std::uint32_t count) {
    Arrive();
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, input_.size()));
    std::copy_n(input_.begin(), n, static_cast<std::uint8_t*>(buffer));
    input_.erase(input_.begin(), input_.begin() + n);
    return n;
}

CommHandle FakeCommApi::CreateFile(const QString& name) {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back("CreateFile");
    if (Failing("CreateFile"))
        return InvalidCommHandle;
    const auto device = devices_.find(name);
    if (device == devices_.end()) {
        SetError(ERROR_FILE_NOT_FOUND);
        return InvalidCommHandle;
    }
    if (device->second.open) {
        SetError(ERROR_ACCESS_DENIED);
        return InvalidCommHandle;
    }
    device->second.open = true;
    const CommHandle handle = nextHandle_++;
    handles_[handle] = name;
    cancelled_ = false;
    raisedEvents_ = 0;
    return handle;
}

bool FakeCommApi::IsCharacterDevice(CommHandle handle) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("IsCharacterDevice", handle))
        return false;
    return devices_[handles_[handle]].characterDevice;
}

bool FakeCommApi::CloseHandle(CommHandle handle) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("CloseHandle", handle))
        return false;
    devices_[handles_[handle]].open = false;
    handles_.erase(handle);
    return true;
}

bool FakeCommApi::SetupComm(CommHandle handle, std::uint32_t inQueue, std::uint32_t outQueue) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("SetupComm", handle))
        return false;
    queueSizes_ = {inQueue, outQueue};
    return true;
}

bool FakeCommApi::GetCommState(CommHandle handle, DCB& dcb) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("GetCommState", handle))
        return false;
    dcb = dcbSet_ ? dcb_ : driverDcb;
    return true;
}

bool FakeCommApi::SetCommState(CommHandle handle, const DCB& dcb) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("SetCommState", handle))
        return false;
    dcb_ = dcb;
    dcbSet_ = true;
    return true;
}

bool FakeCommApi::SetCommTimeouts(CommHandle handle, const COMMTIMEOUTS& timeouts) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("SetCommTimeouts", handle))
        return false;
    timeouts_ = timeouts;
    return true;
}

bool FakeCommApi::SetCommMask(CommHandle handle, std::uint32_t mask) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("SetCommMask", handle))
        return false;
    masks_.push_back(mask);
    return true;
}

bool FakeCommApi::WaitCommEvent(CommHandle handle, std::uint32_t& events) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!Enter("WaitCommEvent", handle))
        return false;
    waiting_ = true;
    wake_.wait(hold, [this] { return cancelled_ || raisedEvents_ != 0; });
    waiting_ = false;
    if (cancelled_) {
        SetError(ERROR_INVALID_HANDLE);
        return false;
    }
    events = std::exchange(raisedEvents_, 0);
    return true;
}

void FakeCommApi::CancelCommWait(CommHandle handle) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        calls_.push_back("CancelCommWait");
        if (handles_.contains(handle))
            cancelled_ = true;
    }
    wake_.notify_all();
}

bool FakeCommApi::ReadFile(CommHandle handle, void* buffer, std::uint32_t count, std::uint32_t& done) {
    std::lock_guard<std::mutex> hold(lock_);
    done = 0;
    if (!Enter("ReadFile", handle))
        return false;
    if (!pendingReads_.empty()) {
        read_ = Transfer{true, pendingReads_.front(), {}, buffer, count};
        pendingReads_.pop_front();
        SetError(ERROR_IO_PENDING);
        return false;
    }
    done = TakeInput(buffer, count);
    return true;
}

bool FakeCommApi::Write(CommHandle handle, const void* buffer, std::uint32_t count, std::uint32_t& done) {
    std::lock_guard<std::mutex> hold(lock_);
    done = 0;
    if (!Enter("WriteFile", handle))
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (!pendingWrites_.empty()) {
        write_ = Transfer{true, pendingWrites_.front(), {bytes, bytes + count}, nullptr, count};
        pendingWrites_.pop_front();
        SetError(ERROR_IO_PENDING);
        return false;
    }
    sent_.insert(sent_.end(), bytes, bytes + count);
    done = count;
    return true;
}

bool FakeCommApi::WriteFile(CommHandle handle, const void* buffer, std::uint32_t count, std::uint32_t& done) {
    const bool written = Write(handle, buffer, count, done);
    if (written && onWrite) {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        onWrite(std::vector<std::uint8_t>(bytes, bytes + count));
    }
    return written;
}

bool FakeCommApi::GetOverlappedResult(CommHandle handle, CommTransfer transfer, std::uint32_t& done, bool wait) {
    std::lock_guard<std::mutex> hold(lock_);
    done = 0;
    if (!Enter(wait ? "GetOverlappedResult(wait)" : "GetOverlappedResult", handle))
        return false;
    Transfer& t = transfer == CommTransfer::Read ? read_ : write_;
    if (!t.pending) {
        SetError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (t.script.incompletePolls > 0) {
        --t.script.incompletePolls;
        SetError(ERROR_IO_INCOMPLETE);
        return false;
    }
    t.pending = false;
    if (transfer == CommTransfer::Read) {
        done = TakeInput(t.buffer, t.count);
    } else {
        sent_.insert(sent_.end(), t.bytes.begin(), t.bytes.end());
        done = t.count;
    }
    if (t.script.error != 0) {
        SetError(t.script.error);
        return false;
    }
    return true;
}

bool FakeCommApi::ClearCommError(CommHandle handle, std::uint32_t& errors, COMSTAT& stat) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("ClearCommError", handle))
        return false;
    errors = std::exchange(errors_, 0);
    Arrive();
    stat = holds_;
    stat.cbInQue = static_cast<std::uint32_t>(input_.size());
    stat.cbOutQue = outputQueue_;
    return true;
}

bool FakeCommApi::PurgeComm(CommHandle handle, std::uint32_t flags) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("PurgeComm", handle))
        return false;
    purges_.push_back(flags);
    Arrive();
    if (flags & PURGE_RXCLEAR)
        input_.clear();
    if (flags & PURGE_TXCLEAR)
        outputQueue_ = 0;
    return true;
}

bool FakeCommApi::EscapeCommFunction(CommHandle handle, std::uint32_t function) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("EscapeCommFunction", handle))
        return false;
    escapes_.push_back(function);
    switch (function) {
    case SETRTS: lines_.rts = true; break;
    case CLRRTS: lines_.rts = false; break;
    case SETDTR: lines_.dtr = true; break;
    case CLRDTR: lines_.dtr = false; break;
    default: break;
    }
    ApplyWiring();
    return true;
}

bool FakeCommApi::GetCommModemStatus(CommHandle handle, std::uint32_t& status) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!Enter("GetCommModemStatus", handle))
        return false;
    status = (lines_.cts ? MS_CTS_ON : 0) | (lines_.dsr ? MS_DSR_ON : 0) | (lines_.ring ? MS_RING_ON : 0) |
             (lines_.rlsd ? MS_RLSD_ON : 0);
    return true;
}

std::uint32_t FakeCommApi::GetLastError() {
    return lastError;
}
