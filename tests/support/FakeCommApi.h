#pragma once

#include "platform/CommApi.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A scripted serial device behind the communications calls, for the serial
// port component's tests. One device per name; each may be opened once at a
// time. The test plays the far end: it puts bytes into the input queue,
// reads what was written, sets the modem input lines or wires them to the
// output lines (a loop-back plug ties RTS to CTS), raises line events and
// scripts failures and pending transfers call by call. Every call is logged
// by name in order. Safe to drive from the test while the component's event
// thread waits.
class FakeCommApi : public CommApi {
public:
    struct Lines {
        bool rts = false;  // outputs, as the component set them
        bool dtr = false;
        bool cts = false;  // inputs
        bool dsr = false;
        bool ring = false;
        bool rlsd = false;
    };
    // How the next transfer in one direction goes: it starts pending, answers
    // "incomplete" this many times, then ends, failing with error when it is
    // not 0.
    struct PendingTransfer {
        int incompletePolls = 0;
        std::uint32_t error = 0;
    };

    // Adds a device that CreateFile can open.
    void AddDevice(const QString& name, bool characterDevice = true);

    // The next times calls of the named operation ("SetCommState",
    // "CreateFile" ...) fail with error.
    void Fail(const std::string& call, std::uint32_t error, int times = 1);
    void Pend(CommTransfer transfer, PendingTransfer pending);

    // The far end. Bytes received now, or once delay has passed.
    void Receive(const std::vector<std::uint8_t>& bytes);
    void ReceiveAfter(std::chrono::milliseconds delay, const std::vector<std::uint8_t>& bytes);
    // Called with the bytes of each write that completes at once, outside the fake's
    // lock, on the writing thread: where a far end answers.
    std::function<void(const std::vector<std::uint8_t>& written)> onWrite;
    std::vector<std::uint8_t> Sent() const;
    void SetOutputQueue(std::uint32_t bytes);
    void SetHolds(const COMSTAT& holds);
    void SetErrors(std::uint32_t errors);
    void SetInputLines(bool cts, bool dsr, bool ring = false, bool rlsd = false);
    // CTS follows RTS from now on.
    void LoopRtsToCts(bool on = true);
    Lines ModemLines() const;
    // One pending WaitCommEvent (or the next) completes with these bits.
    void RaiseEvents(std::uint32_t events);

    // What the component did.
    std::vector<std::string> Calls() const;
    void ClearCalls();
    DCB LastDcb() const;
    COMMTIMEOUTS LastTimeouts() const;
    std::vector<std::uint32_t> Masks() const;
    std::vector<std::uint32_t> Purges() const;
    std::vector<std::uint32_t> Escapes() const;
    std::pair<std::uint32_t, std::uint32_t> QueueSizes() const;
    int OpenHandles() const;
    // Whether a WaitCommEvent is blocked now.
    bool Waiting() const;

    // The driver's DCB before anything was set; what GetCommState reports.
    DCB driverDcb;

    CommHandle CreateFile(const QString& name) override;
    bool IsCharacterDevice(CommHandle handle) override;
    bool CloseHandle(CommHandle handle) override;
    bool SetupComm(CommHandle handle, std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool GetCommState(CommHandle handle, DCB& dcb) override;
    bool SetCommState(CommHandle handle, const DCB& dcb) override;
    bool SetCommTimeouts(CommHandle handle, const COMMTIMEOUTS& timeouts) override;
    bool SetCommMask(CommHandle handle, std::uint32_t mask) override;
    bool WaitCommEvent(CommHandle handle, std::uint32_t& events) override;
    void CancelCommWait(CommHandle handle) override;
    bool ReadFile(CommHandle handle, void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool WriteFile(CommHandle handle, const void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool GetOverlappedResult(CommHandle handle, CommTransfer transfer, std::uint32_t& done, bool wait) override;
    bool ClearCommError(CommHandle handle, std::uint32_t& errors, COMSTAT& stat) override;
    bool PurgeComm(CommHandle handle, std::uint32_t flags) override;
    bool EscapeCommFunction(CommHandle handle, std::uint32_t function) override;
    bool GetCommModemStatus(CommHandle handle, std::uint32_t& status) override;
    std::uint32_t GetLastError() override;

private:
    struct Device {
        bool characterDevice = true;
        bool open = false;
    };
    struct Transfer {
        bool pending = false;
        PendingTransfer script;
        std::vector<std::uint8_t> bytes;  // what a write moves
        void* buffer = nullptr;           // where a read puts its bytes
        std::uint32_t count = 0;
    };

    // Logs the call; false (with the error set) when it is scripted to fail
    // or the handle is not open.
    bool Enter(const char* call, CommHandle handle);
    bool Failing(const char* call);
    void SetError(std::uint32_t error);
    void ApplyWiring();
    std::uint32_t TakeInput(void* buffer, std::uint32_t count);
    // Moves the scheduled bytes that are due into the input queue.
    void Arrive();
    // WriteFile without the far end's answer.
    bool Write(CommHandle handle, const void* buffer, std::uint32_t count, std::uint32_t& done);

    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::map<QString, Device> devices_;
    std::map<CommHandle, QString> handles_;
    CommHandle nextHandle_ = 100;
    std::map<std::string, std::pair<std::uint32_t, int>> failures_;
    std::deque<PendingTransfer> pendingReads_;
    std::deque<PendingTransfer> pendingWrites_;
    Transfer read_;
    Transfer write_;
    std::vector<std::string> calls_;
    std::deque<std::uint8_t> input_;
    std::multimap<std::chrono::steady_clock::time_point, std::vector<std::uint8_t>> scheduled_;
    std::vector<std::uint8_t> sent_;
    std::uint32_t outputQueue_ = 0;
    COMSTAT holds_;
    std::uint32_t errors_ = 0;
    Lines lines_;
    bool rtsToCts_ = false;
    std::uint32_t raisedEvents_ = 0;
    bool cancelled_ = false;
    bool waiting_ = false;
    DCB dcb_;
    bool dcbSet_ = false;
    COMMTIMEOUTS timeouts_;
    std::vector<std::uint32_t> masks_;
    std::vector<std::uint32_t> purges_;
    std::vector<std::uint32_t> escapes_;
    std::pair<std::uint32_t, std::uint32_t> queueSizes_{0, 0};
};
