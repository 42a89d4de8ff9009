#pragma once

#include "platform/CommApi.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

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

    // Sets the port's event mask to monitorEvents (EV_ bits). The thread
    // does not run until Start. deliveryTarget lives on the UI thread and
    // outlives the thread; hand-overs are queued to it. suspendTime is kept,
    // nothing uses it.
    TCommEventThread(CommApi& api, CommHandle handle, std::uint32_t suspendTime, std::uint32_t monitorEvents,
                     QObject* deliveryTarget);
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
    // What the thread and its queued hand-overs share; a hand-over still in
    // Qt's queue after the thread has gone finds it terminated.
    struct HandOver {
        std::mutex lock;
        std::condition_variable wake;
        bool terminated = false;
        bool handled = false;
        TCommEventCallback callback;
    };

    void Run();
    // Hands one event word over and waits until it was handled or Stop.
    void Deliver(std::uint32_t events);
    // After a failed wait: pauses briefly, or until Stop, so a device that
    // fails every wait (unplugged, hung up) does not keep a core busy.
    void PauseAfterFailedWait();

    CommApi& api_;
    const CommHandle handle_;
    const std::uint32_t suspendTime_;
    QObject* const deliveryTarget_;
    const std::shared_ptr<HandOver> handOver_ = std::make_shared<HandOver>();
    std::thread thread_;
};
