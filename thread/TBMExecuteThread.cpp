#include "thread/TBMExecuteThread.h"

#include <QObject>
#include <QThread>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace {

std::runtime_error ThreadError(int code) {
    return std::runtime_error("Thread Error: " + std::string(std::strerror(code)) + " (" + std::to_string(code) +
                              ")");
}

// The nice value a priority runs at, from the one the thread started with.
int NiceFor(TThreadPriority priority, int startNice) {
    constexpr int kWeakest = 19;
    int above = 0;
    if (priority == tpLower)
        above = 5;
    else if (priority == tpLowest)
        above = 10;
    return std::min(startNice + above, kWeakest);
}

// The one place where the execution thread enters Qt's event queue. Qt's
// internal locking is invisible to the thread sanitizer, so tests/tsan.supp
// silences what happens below this frame; nothing of ours runs there.
[[gnu::noinline]] void BlockingCallIntoQt(QObject* receiver, const char* method) {
    QMetaObject::invokeMethod(receiver, method, Qt::BlockingQueuedConnection);
}

}  // namespace

TBMExecuteThread::TBMExecuteThread(Passkey, TBMExecuteOwner& owner, void* data)
    : Data(data), owner_(owner), deliveryTarget_(owner.DeliveryTarget()), syncSender_(owner.SyncSender()) {}

TBMExecuteThread* TBMExecuteThread::CreateSuspended(TBMExecuteOwner& owner, void* data, TThreadPriority priority,
                                                    std::thread& os) {
    auto object = std::make_unique<TBMExecuteThread>(Passkey(), owner, data);
    TBMExecuteThread* const thread = object.get();
    std::thread created;
    try {
        // The thread's copy of the unique_ptr owns the object from here; if
        // the system refuses the thread, that copy goes and takes it along.
        created = std::thread(&TBMExecuteThread::Body, std::move(object));
    } catch (const std::system_error& e) {
        throw std::runtime_error("Thread creation error: " + e.code().message());
    }
    thread->handle_ = created.native_handle();
    try {
        thread->SetPriority(priority);
    } catch (...) {
        {
            std::lock_guard<std::mutex> hold(thread->parkLock_);
            thread->abandoned_ = true;
            thread->suspended_ = false;
        }
        thread->parkWake_.notify_all();
        created.join();
        throw;
    }
    os = std::move(created);
    return thread;
}

void TBMExecuteThread::SetPriority(TThreadPriority priority) {
    sched_param param{};
    param.sched_priority = 0;
    const int policy = priority == tpIdle ? SCHED_IDLE : SCHED_OTHER;
    if (const int code = pthread_setschedparam(handle_, policy, &param))
        throw ThreadError(code);
    // SCHED_IDLE does not look at the nice value, so it stays as it is.
    if (priority == tpIdle)
        return;
    // With PRIO_PROCESS and a thread's id, Linux sets that one thread.
    const Begun begun = WaitUntilBegun();
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(begun.tid), NiceFor(priority, begun.nice)) != 0)
        throw ThreadError(errno);
}

TBMExecuteThread::Begun TBMExecuteThread::WaitUntilBegun() {
    std::unique_lock<std::mutex> hold(parkLock_);
    begunWake_.wait(hold, [this] { return begun_.tid != 0; });
    return begun_;
}

void TBMExecuteThread::Suspend() {
    std::lock_guard<std::mutex> hold(parkLock_);
    suspended_ = true;
}

void TBMExecuteThread::Resume() {
    {
        std::lock_guard<std::mutex> hold(parkLock_);
        suspended_ = false;
    }
    parkWake_.notify_all();
}

void TBMExecuteThread::Terminate() {
    // The flag first: a thread released from its park must wake to it.
    terminated_.store(true, std::memory_order_release);
    Resume();
}

void TBMExecuteThread::WaitWhileSuspended() {
    std::unique_lock<std::mutex> hold(parkLock_);
    parkWake_.wait(hold, [this] { return !suspended_; });
}

void TBMExecuteThread::Body(std::unique_ptr<TBMExecuteThread> self) {
    self->Run();
}

void TBMExecuteThread::Run() {
    // So debuggers, ps and top tell the component's threads apart.
    pthread_setname_np(pthread_self(), "TBMThread");
    {
        // A new thread starts with its creator's nice value; priorities count
        // from there.
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        std::lock_guard<std::mutex> hold(parkLock_);
        begun_ = {gettid(), nice == -1 && errno != 0 ? 0 : nice};
    }
    begunWake_.notify_all();
    // Created parked: Start lets the thread go once OnStart has prepared Data.
    WaitWhileSuspended();
    bool abandoned;
    {
        std::lock_guard<std::mutex> hold(parkLock_);
        abandoned = abandoned_;
    }
    if (abandoned)
        return;
    if (!Terminated()) {
        try {
            owner_.Execute(this);
        } catch (...) {
            fatalException_ = std::current_exception();
        }
    }
    try {
        CallOnUiThread([this] { owner_.ExecuteThreadEnded(this); });
    } catch (...) {
        // An exception from OnTerminate has nobody left to go to.
    }
}

void TBMExecuteThread::Synchronize(const TSyncMethod& method) {
    if (!method)
        return;
    Synchronize(TSyncThreadMethod([method](TBMThread* sender, TBMExecuteThread*) { method(sender); }));
}

void TBMExecuteThread::Synchronize(const TSyncThreadMethod& method) {
    if (!method)
        return;
    Synchronize(TSyncDataMethod([method](TBMThread* sender, TBMExecuteThread* thread, void*&) {
                    method(sender, thread);
                }),
                nullptr);
}

void TBMExecuteThread::Synchronize(const TSyncDataMethod& method, void* data) {
    if (Terminated() || !method)
        return;
    const bool onUiThread = QThread::currentThread() == deliveryTarget_->thread();
    if (!onUiThread) {
        WaitWhileSuspended();
        // Stop releases a parked thread with the flag already set.
        if (Terminated())
            return;
    }
    {
        std::lock_guard<std::mutex> hold(callLock_);
        syncData_ = data;
    }
    auto call = [this, method] { method(syncSender_, this, syncData_); };
    if (onUiThread)
        call();
    else
        CallOnUiThread(call);
}

void* TBMExecuteThread::SyncData() const {
    std::lock_guard<std::mutex> hold(callLock_);
    return syncData_;
}

void TBMExecuteThread::CallOnUiThread(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> hold(callLock_);
        pendingCall_ = std::move(call);
        callError_ = nullptr;
    }
    // Blocks until the owner's RunPendingCall has returned on the UI thread.
    BlockingCallIntoQt(deliveryTarget_, "RunPendingCall");
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> hold(callLock_);
        error = std::exchange(callError_, nullptr);
    }
    if (error)
        std::rethrow_exception(error);
}

void TBMExecuteThread::RunPendingCall() {
    std::function<void()> call;
    {
        std::lock_guard<std::mutex> hold(callLock_);
        call = std::move(pendingCall_);
        pendingCall_ = nullptr;
    }
    std::exception_ptr error;
    try {
        if (call)
            call();
    } catch (...) {
        error = std::current_exception();
    }
    std::lock_guard<std::mutex> hold(callLock_);
    callError_ = error;
}
