#pragma once

#include "thread/TBMExecuteThread.h"
#include "thread/TBMThreadBase.h"

#include <QTimer>

#include <cstdint>
#include <thread>

// Runs the OnExecute handler on a background thread of its own and reports
// the thread's start and end on the UI thread.
//
// Every member is for the UI thread (the thread the component was created on),
// except OnExecute, which runs on the execution thread and must be set while
// the component is idle. The handler loops until Thread->Terminated() and
// hands UI work over with Thread->Synchronize; nothing ever kills the thread.
//
// Life of one run: Start creates the execution thread (GetRuning turns true);
// the handler runs until it returns, Stop only asks it to; when it has
// returned, the thread waits until its termination notification has run on
// the UI thread, which turns GetRuning false and fires OnTerminate; then the
// component can be started again, with a new execution thread, the new Data
// and Percent 0.
class TBMThread : public TBMThreadBase, private TBMExecuteOwner {
    Q_OBJECT

public:
    explicit TBMThread(QObject* owner = nullptr);
    // Waits for a running handler to return: sets Terminated, releases a
    // suspended thread and, until the thread has ended, serves the thread's
    // deliveries to the UI thread (its pending Synchronize calls and its
    // termination notification), but no other events. Fires no OnTerminate
    // and reports nothing to the group, but takes the thread out of the
    // running counts of its group and the enclosing ones. A handler that
    // never looks at Terminated blocks it for ever; never destroy the
    // component from one of its own handlers or synchronized methods.
    ~TBMThread() override;

    // On the execution thread, without the lock: the thread's work.
    TBMThreadNotifyEvent OnExecute;

    // True while an execution thread exists: from Start until its termination
    // notification has run.
    bool GetRuning() const override { return thread_ != nullptr; }

    // Start(nullptr).
    void Start() override;
    // Nothing if a thread exists. Otherwise creates one parked, reports the
    // start to the group, runs OnStart (which may still prepare Data), lets
    // the thread run and switches the update timer per UpdateEnabled.
    // Throws std::runtime_error "Thread creation error: ..." with nothing
    // changed if the system refuses the thread. If OnStart throws, the new
    // thread is told to end before it runs OnExecute and the exception passes
    // on; it ends like a stopped thread.
    void Start(void* Data) override;
    // Sets Terminated and releases a suspended thread; waits for nothing.
    // Nothing if no thread exists.
    void Stop() override;
    // Cooperative: see TBMExecuteThread::WaitWhileSuspended. Nothing if no
    // thread exists.
    void Suspend() override;
    void Resume() override;

    // Applied at once to a running thread. Throws std::runtime_error
    // "Thread Error: <text> (<code>)" if the system refuses it (raising a
    // running thread's priority needs privileges, see TThreadPriority); the
    // value is kept all the same and applies to the next start.
    TThreadPriority GetPriority() const { return priority_; }
    void SetPriority(TThreadPriority priority);

    // The update timer: while it runs, every RefreshInterval ms (default 100)
    // a running component reports to its group's ThreadUpdate and fires
    // OnUpdate with the thread's Percent. Ticks while idle do nothing. It runs
    // while UpdateEnabled is true and RefreshInterval is not 0; 0 means no
    // updates at all.
    std::uint32_t GetRefreshInterval() const { return refreshInterval_; }
    void SetRefreshInterval(std::uint32_t milliseconds);
    bool GetUpdateEnabled() const { return updateEnabled_; }
    void SetUpdateEnabled(bool enabled);

protected:
    void ReportStarted(TBMThreadGroup* group) override;
    void ReportTerminated(TBMThreadGroup* group) override;
    void AddMe(TBMThreadGroup* group) override;
    void RemoveMe(TBMThreadGroup* group) override;
    void ForEachThread(const std::function<void(TBMThread*)>& visit) override;

    virtual void OnUpdateTimer();
    // Execution thread: fires OnExecute for thread.
    void Execute(TBMExecuteThread* thread) override;
    // UI thread, the termination notification: the component turns Idle,
    // reports the end to its group and fires OnTerminate.
    virtual void OnThreadTerminate(TBMExecuteThread* Sender);
    // The notification while the component is being destroyed: only turns it Idle.
    virtual void OnThreadTerminateClose(TBMExecuteThread* Sender);

private:
    // The execution thread's view of its owner.
    QObject* DeliveryTarget() override { return this; }
    TBMThread* SyncSender() override { return this; }
    // OnThreadTerminateClose once the destructor has begun, else OnThreadTerminate.
    void ExecuteThreadEnded(TBMExecuteThread* Sender) override;

    // Target of the execution thread's blocking queued calls; runs on the UI
    // thread. Takes no arguments so that no data travels inside Qt's event.
    Q_INVOKABLE void RunPendingCall();

    void ApplyUpdateEnabled();

    QTimer updateTimer_;
    TBMExecuteThread* thread_ = nullptr;  // not owned: its thread owns it
    // The operating-system threads of the current or last run and of the run
    // before it. A thread is joined only after its termination notification
    // has returned (it may start the next run), at the start after next or
    // when the component goes, so none outlives the component.
    std::thread osThread_;
    std::thread previousOsThread_;
    TThreadPriority priority_ = tpNormal;
    std::uint32_t refreshInterval_ = 100;
    bool updateEnabled_ = false;
    // Set by the destructor: the end of the thread it waits for is no
    // longer reported.
    bool closing_ = false;
};
