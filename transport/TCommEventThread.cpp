#include "transport/TCommEventThread.h"

#include <QMetaObject>
#include <QObject>

#include <chrono>

namespace {

// How long the thread rests after a failed event wait before the next one.
constexpr std::chrono::milliseconds FailedWaitPause{20};

}  // namespace

TCommEventThread::TCommEventThread(CommApi& api, CommHandle handle, std::uint32_t suspendTime,
                                   std::uint32_t monitorEvents, QObject* deliveryTarget)
    : api_(api), handle_(handle), suspendTime_(suspendTime), deliveryTarget_(deliveryTarget) {
    api_.SetCommMask(handle_, monitorEvents);
}

TCommEventThread::~TCommEventThread() {
    Stop();
}

void TCommEventThread::SetCallback(TCommEventCallback callback) {
    std::lock_guard<std::mutex> hold(handOver_->lock);
    handOver_->callback = std::move(callback);
}

void TCommEventThread::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

void TCommEventThread::Stop() {
    {
        std::lock_guard<std::mutex> hold(handOver_->lock);
        handOver_->terminated = true;
    }
    handOver_->wake.notify_all();
    api_.CancelCommWait(handle_);
    if (thread_.joinable())
        thread_.join();
}

void TCommEventThread::Run() {
    const auto terminated = [this] {
        std::lock_guard<std::mutex> hold(handOver_->lock);
        return handOver_->terminated;
    };
    while (!terminated()) {
        std::uint32_t events = 0;
        if (api_.WaitCommEvent(handle_, events))
            Deliver(events);
        else
            PauseAfterFailedWait();
    }
    api_.PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TCommEventThread::Deliver(std::uint32_t events) {
    const std::shared_ptr<HandOver> handOver = handOver_;
    {
        std::lock_guard<std::mutex> hold(handOver->lock);
        if (handOver->terminated)
            return;
        handOver->handled = false;
    }
    QMetaObject::invokeMethod(
        deliveryTarget_,
        [handOver, sender = this, events] {
            TCommEventCallback callback;
            {
                std::lock_guard<std::mutex> hold(handOver->lock);
                // Stop may have come first; then sender is gone or going.
                if (handOver->terminated)
                    return;
                callback = handOver->callback;
            }
            // Released even when the callback throws.
            struct Handled {
                HandOver& state;
                ~Handled() {
                    {
                        std::lock_guard<std::mutex> hold(state.lock);
                        state.handled = true;
                    }
                    state.wake.notify_all();
                }
            } handled{*handOver};
            if (callback)
                callback(sender, events);
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> hold(handOver->lock);
    handOver->wake.wait(hold, [&] { return handOver->handled || handOver->terminated; });
}

void TCommEventThread::PauseAfterFailedWait() {
    std::unique_lock<std::mutex> hold(handOver_->lock);
    // By the system clock: a steady-clock wait goes through a call the
    // thread sanitizer does not follow, so it would see races that are not
    // there. A clock change may only stretch or shorten one short pause.
    handOver_->wake.wait_until(hold, std::chrono::system_clock::now() + FailedWaitPause,
                               [this] { return handOver_->terminated; });
}
