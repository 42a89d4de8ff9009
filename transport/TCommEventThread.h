#pragma once

#include "platform/CommApi.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The thread that watches one open port for line events and hands each one
// to the UI thread, blocking until it has been handled there.
//
// Created and stopped on the UI thread by the port component; lives no
// longer than the port's handle. Stop is cooperative: it sets the terminate
// flag, releases the pending event wait and a pending hand-over, and joins,
// so nothing the thread held is left behind and no queued hand-over ever
// runs after it.
class TCommEventThread {
public:
    // UI thread: (thread, event word), or empty for nothing.
    using TCommEventCallback = std::function<void(TCommEventThread* Sender, std::uint32_t events)>;

    // On the UI thread, where the hand-overs will run. Sets the port's event
    // mask to monitorEvents (EV_ bits). The thread does not run until Start.
    // suspendTime is kept, nothing uses it.
    TCommEventThread(CommApi& api, CommHandle handle, std::uint32_t suspendTime, std::uint32_t monitorEvents);
    // Stops the thread if it runs.
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    // UI thread. A hand-over already queued runs the callback set at the
    // moment it runs; once cleared, it does nothing.
    void SetCallback(TCommEventCallback callback);
    void Start();
    void Stop();

    std::uint32_t SuspendTime() const { return suspendTime_; }

private:
    // What the thread and its hand-overs share, under the lock.
    struct HandOver {
        std::mutex lock;
        std::condition_variable wake;
        bool terminated = false;
        bool pending = false;       // an event word waits to be handled
        std::uint32_t events = 0;   // that word
        TCommEventCallback callback;
    };
    // Lives on the UI thread and runs the hand-overs queued to it; goes with
    // the thread object, and with it any hand-over still in Qt's queue.
    class Receiver;

    void Run();
    // Hands one event word over and waits until it was handled or Stop.
    void Deliver(std::uint32_t events);
    // After a failed wait: pauses briefly, or until Stop, so a device that
    // fails every wait (unplugged, hung up) does not keep a core busy.
    void PauseAfterFailedWait();

    CommApi& api_;
    const CommHandle handle_;
    const std::uint32_t suspendTime_;
    const std::shared_ptr<HandOver> handOver_ = std::make_shared<HandOver>();
    std::unique_ptr<Receiver> receiver_;
    std::thread thread_;
};
