#include "thread/TBMThread.h"

#include "thread/TBMThreadGroup.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

TBMThread::TBMThread(QObject* owner) : TBMThreadBase(owner) {
    updateTimer_.setInterval(static_cast<int>(refreshInterval_));
    connect(&updateTimer_, &QTimer::timeout, this, &TBMThread::OnUpdateTimer);
}

TBMThread::~TBMThread() {
    updateTimer_.stop();
    if (thread_) {
        closing_ = true;
        thread_->Terminate();
        // The thread may be waiting in Synchronize or in its termination
        // notification, both queued calls to this object: serve those, and
        // only those. The owner may be half destroyed by now (a window deletes
        // its children from its own destructor), and general event processing
        // would reach it and its other children.
        while (thread_) {
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
            if (thread_)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // No longer running, the component would leave its group unreported
        // and still counted there for ever.
        if (GetThreadGroup())
            GetThreadGroup()->ThreadTerminatedSilently();
    }
    // Nothing of a run may go on once the component is gone: whatever its
    // handler used may go next.
    if (osThread_.joinable())
        osThread_.join();
    if (previousOsThread_.joinable())
        previousOsThread_.join();
    SetThreadGroup(nullptr);
}

void TBMThread::Start() {
    Start(nullptr);
}

void TBMThread::Start(void* Data) {
    if (thread_)
        return;
    // The last run's thread may still be returning from its termination
    // notification, which may be what calls Start: it is joined next time.
    if (previousOsThread_.joinable())
        previousOsThread_.join();
    std::thread os;
    TBMExecuteThread* thread = TBMExecuteThread::CreateSuspended(*this, Data, priority_, os);
    previousOsThread_ = std::move(osThread_);
    osThread_ = std::move(os);
    thread_ = thread;
    if (GetThreadGroup())
        ReportStarted(GetThreadGroup());
    if (OnStart) {
        try {
            std::lock_guard<std::recursive_mutex> hold(lock_);
            OnStart(this, thread, thread->Data);
        } catch (...) {
            // A thread left parked would keep the component Running for ever.
            thread->Terminate();
            throw;
        }
    }
    thread->Resume();
    ApplyUpdateEnabled();
}

void TBMThread::Stop() {
    if (thread_)
        thread_->Terminate();
}

void TBMThread::Suspend() {
    if (thread_)
        thread_->Suspend();
}

void TBMThread::Resume() {
    if (thread_)
        thread_->Resume();
}

void TBMThread::SetPriority(TThreadPriority priority) {
    priority_ = priority;
    if (thread_)
        thread_->SetPriority(priority);
}

void TBMThread::SetRefreshInterval(std::uint32_t milliseconds) {
    refreshInterval_ = milliseconds;
    updateTimer_.setInterval(static_cast<int>(std::min<std::uint32_t>(milliseconds, INT_MAX)));
    ApplyUpdateEnabled();
}

void TBMThread::SetUpdateEnabled(bool enabled) {
    if (enabled == updateEnabled_)
        return;
    updateEnabled_ = enabled;
    ApplyUpdateEnabled();
}

void TBMThread::ApplyUpdateEnabled() {
    // A QTimer with interval 0 would fire on every pass of the event loop.
    if (updateEnabled_ && refreshInterval_ > 0)
        updateTimer_.start();
    else
        updateTimer_.stop();
}

void TBMThread::ReportStarted(TBMThreadGroup* group) {
    if (thread_)
        group->ThreadStarted(this, thread_, thread_->Data);
}

void TBMThread::ReportTerminated(TBMThreadGroup* group) {
    if (thread_)
        group->ThreadTerminated(this, thread_, thread_->Data);
}

void TBMThread::AddMe(TBMThreadGroup* group) {
    group->AddMember(this);
}

void TBMThread::RemoveMe(TBMThreadGroup* group) {
    group->RemoveMember(this);
}

void TBMThread::ForEachThread(const std::function<void(TBMThread*)>& visit) {
    visit(this);
}

void TBMThread::OnUpdateTimer() {
    if (!thread_)
        return;
    if (GetThreadGroup())
        GetThreadGroup()->ThreadUpdate(this, thread_, thread_->Data, UpdatePriority, thread_->Percent);
    // A group handler that processes events may have let the thread end.
    if (OnUpdate && thread_) {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        OnUpdate(this, thread_, thread_->Data, thread_->Percent);
    }
}

void TBMThread::Execute(TBMExecuteThread* thread) {
    if (OnExecute)
        OnExecute(this, thread, thread->Data);
}

void TBMThread::OnThreadTerminate(TBMExecuteThread* Sender) {
    updateTimer_.stop();
    thread_ = nullptr;
    if (GetThreadGroup())
        GetThreadGroup()->ThreadTerminated(this, Sender, Sender->Data);
    if (OnTerminate) {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        OnTerminate(this, Sender, Sender->Data);
    }
    ApplyUpdateEnabled();
}

void TBMThread::OnThreadTerminateClose(TBMExecuteThread* /*Sender*/) {
    thread_ = nullptr;
}

void TBMThread::ExecuteThreadEnded(TBMExecuteThread* Sender) {
    if (closing_)
        OnThreadTerminateClose(Sender);
    else
        OnThreadTerminate(Sender);
}

void TBMThread::RunPendingCall() {
    if (thread_)
        thread_->RunPendingCall();
}
