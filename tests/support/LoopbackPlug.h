#pragma once

#include "platform/CommApi.h"

#include <atomic>

// A meter's cable on real communications calls: everything goes to the
// device underneath, but the modem lines read as a meter wires them, CTS tied
// to RTS and DSR off. A pseudo-terminal has no modem lines of its own, so
// this lets the line test pass against the serial simulator.
class LoopbackPlug final : public CommApi {
public:
    explicit LoopbackPlug(CommApi& device) : device_(device) {}

    CommHandle CreateFile(const QString& name) override { return device_.CreateFile(name); }
    bool IsCharacterDevice(CommHandle h) override { return device_.IsCharacterDevice(h); }
    bool CloseHandle(CommHandle h) override { return device_.CloseHandle(h); }
    bool SetupComm(CommHandle h, std::uint32_t in, std::uint32_t out) override { return device_.SetupComm(h, in, out); }
    bool GetCommState(CommHandle h, DCB& dcb) override { return device_.GetCommState(h, dcb); }
    bool SetCommState(CommHandle h, const DCB& dcb) override { return device_.SetCommState(h, dcb); }
    bool SetCommTimeouts(CommHandle h, const COMMTIMEOUTS& t) override { return device_.SetCommTimeouts(h, t); }
    bool SetCommMask(CommHandle h, std::uint32_t mask) override { return device_.SetCommMask(h, mask); }
    bool WaitCommEvent(CommHandle h, std::uint32_t& events) override { return device_.WaitCommEvent(h, events); }
    void CancelCommWait(CommHandle h) override { device_.CancelCommWait(h); }
    bool ReadFile(CommHandle h, void* buffer, std::uint32_t count, std::uint32_t& done) override {
        return device_.ReadFile(h, buffer, count, done);
    }
    bool WriteFile(CommHandle h, const void* buffer, std::uint32_t count, std::uint32_t& done) override {
        return device_.WriteFile(h, buffer, count, done);
    }
    bool GetOverlappedResult(CommHandle h, CommTransfer t, std::uint32_t& done, bool wait) override {
        return device_.GetOverlappedResult(h, t, done, wait);
    }
    bool ClearCommError(CommHandle h, std::uint32_t& errors, COMSTAT& stat) override {
        return device_.ClearCommError(h, errors, stat);
    }
    bool PurgeComm(CommHandle h, std::uint32_t flags) override { return device_.PurgeComm(h, flags); }
    bool EscapeCommFunction(CommHandle h, std::uint32_t function) override {
        if (function == SETRTS || function == CLRRTS)
            rts_ = function == SETRTS;
        return device_.EscapeCommFunction(h, function);
    }
    bool GetCommModemStatus(CommHandle h, std::uint32_t& status) override {
        if (!device_.GetCommModemStatus(h, status))
            return false;
        status = rts_ ? MS_CTS_ON : 0;
        return true;
    }
    std::uint32_t GetLastError() override { return device_.GetLastError(); }

private:
    CommApi& device_;
    std::atomic<bool> rts_{false};
};
