#include "transport/TCommEventThread.h"

#include <QMetaObject>
#include <QObject>

#include <chrono>

namespace {

// How long the thread rests after a failed event wait before the next one.
constexpr std::chrono::milliseconds FailedWaitPause{20};

}  // namespace

// The hand-over is a queued call by name of a member without arguments:
// everything it carries goes through the lock, where the thread sanitizer
// sees it, and Qt alone makes and frees the queued call, so nothing of ours
// crosses Qt's queue, where the sanitizer cannot follow.
class TCommEventThread::Receiver final : public QObject {
    Q_OBJECT

public:
    Receiver(TCommEventThread* sender, std::shared_ptr<HandOver> handOver)
        : sender_(sender), handOver_(std::move(handOver)) {}

    Q_INVOKABLE void RunHandOver() {
        // The callback may close the port, which ends the thread and lets go
        // of this receiver; what the hand-over needs afterwards is kept here.
        const std::shared_ptr<HandOver> handOver = handOver_;
        TCommEventThread* const sender = sender_;
        TCommEventCallback callback;
        std::uint32_t events = 0;
        {
            std::lock_guard<std::mutex> hold(handOver->lock);
            // Stop may have come first.
            if (handOver->terminated || !handOver->pending)
                return;
            callback = handOver->callback;
            events = handOver->events;
        }
        // Released even when the callback throws. A receiver let go of
        // meanwhile is only deleted later, so this one is still here.
        struct Handled {
            Receiver& receiver;
            const std::shared_ptr<HandOver>& state;
            ~Handled() {
                receiver.running_ = false;
                {
                    std::lock_guard<std::mutex> hold(state->lock);
                    state->pending = false;
                }
                state->wake.notify_all();
            }
        } handled{*this, handOver};
        running_ = true;
        if (callback)
            callback(sender, events);
    }

    // Whether a hand-over runs now: then this object must not be deleted
    // before it has returned.
    bool Running() const { return running_; }

private:
    TCommEventThread* const sender_;
    const std::shared_ptr<HandOver> handOver_;
    bool running_ = false;
};

TCommEventThread::TCommEventThread(CommApi& api, CommHandle handle, std::uint32_t suspendTime,
                                   std::uint32_t monitorEvents)
    : api_(api), handle_(handle), suspendTime_(suspendTime), receiver_(std::make_unique<Receiver>(this, handOver_)) {
    api_.SetCommMask(handle_, monitorEvents);
}

TCommEventThread::~TCommEventThread() {
    Stop();
    // Closed from inside a hand-over: the receiver goes once it has returned.
    if (receiver_->Running())
        receiver_.release()->deleteLater();
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
    {
        std::lock_guard<std::mutex> hold(handOver_->lock);
        if (handOver_->terminated)
            return;
        handOver_->pending = true;
        handOver_->events = events;
    }
    QMetaObject::invokeMethod(receiver_.get(), "RunHandOver", Qt::QueuedConnection);
    std::unique_lock<std::mutex> hold(handOver_->lock);
    handOver_->wake.wait(hold, [this] { return !handOver_->pending || handOver_->terminated; });
}

void TCommEventThread::PauseAfterFailedWait() {
    std::unique_lock<std::mutex> hold(handOver_->lock);
    // By the system clock: a steady-clock wait goes through a call the
    // thread sanitizer does not follow, so it would see races that are not
    // there. A clock change may only stretch or shorten one short pause.
    handOver_->wake.wait_until(hold, std::chrono::system_clock::now() + FailedWaitPause,
                               [this] { return handOver_->terminated; });
}

#include "TCommEventThread.moc"
