#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;
class TBMExecuteThread;
class TBMThread;

// Priority of an execution thread. Linux gives every thread a nice value of
// its own, and a thread may raise its nice value (lower its priority) without
// privileges. So the values below normal lower the thread's priority: tpLower
// runs it at nice +5 and tpLowest at nice +10 under SCHED_OTHER, and tpIdle
// under SCHED_IDLE, where the nice value does not count and is left as it
// was. An unprivileged process may not raise a thread's priority above
// normal, so tpNormal, tpHigher, tpHighest and tpTimeCritical all run
// SCHED_OTHER at nice 0. Nice values count from the one the thread calling
// Start has (0 unless the program was started under nice) and stop at 19.
// Raising the priority of a running thread again (to a smaller nice value, or
// out of SCHED_IDLE) needs root, CAP_SYS_NICE or a large enough RLIMIT_NICE;
// without them the system refuses.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// What an execution thread needs of the component that runs it. The owner
// outlives its execution threads: it waits for the end of a running one
// before it goes.
class TBMExecuteOwner {
public:
    // UI thread, read once when a thread is created. The object the thread's
    // blocking deliveries are queued to: its thread is the UI thread, and its
    // invokable RunPendingCall() calls RunPendingCall() of the owner's current
    // execution thread.
    virtual QObject* DeliveryTarget() = 0;
    // UI thread, read once when a thread is created: the Sender that
    // synchronized methods receive.
    virtual TBMThread* SyncSender() = 0;
    // Execution thread, once, unless the thread was stopped before it began:
    // the thread's work.
    virtual void Execute(TBMExecuteThread* thread) = 0;
    // UI thread: the termination notification, once the work has returned.
    // The execution thread waits until it has returned, then destroys itself.
    virtual void ExecuteThreadEnded(TBMExecuteThread* thread) = 0;

protected:
    ~TBMExecuteOwner() = default;
};

// One run of a TBMThread's OnExecute handler on an operating-system thread of
// its own. TBMThread::Start creates it; its thread owns it and destroys it
// when it ends, right after its termination notification has run on the UI
// thread, so a pointer to it is valid only inside the handlers that receive
// it.
//
// The members below are for the OnExecute handler (on the execution thread)
// unless they say otherwise.
class TBMExecuteThread {
    // Only CreateSuspended makes one; make_unique needs a public constructor.
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Methods that Synchronize runs on the UI thread. Sender is the owning
    // TBMThread; a callable whose Sender is a QObject* fits as well.
    using TSyncMethod = std::function<void(TBMThread* Sender)>;
    using TSyncThreadMethod = std::function<void(TBMThread* Sender, TBMExecuteThread* Thread)>;
    using TSyncDataMethod = std::function<void(TBMThread* Sender, TBMExecuteThread* Thread, void*& Data)>;

    // For CreateSuspended only.
    TBMExecuteThread(Passkey, TBMExecuteOwner& owner, void* data);
    TBMExecuteThread(const TBMExecuteThread&) = delete;
    TBMExecuteThread& operator=(const TBMExecuteThread&) = delete;

    // The value given to Start; every handler receives it by reference and may
    // replace it. The UI thread's handlers (OnStart, OnTerminate) and OnExecute
    // never run at the same time; OnUpdate does run while OnExecute does, so
    // while the thread runs at most one side may replace Data.
    void* Data;
    // Progress for OnUpdate and the group's updates; 0 at every start.
    std::atomic<int> Percent{0};

    // Set once Stop or the owner's destruction asked the thread to end.
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

    // Run method on the UI thread and wait for it to return; an exception the
    // method raises is raised again here. Return at once without running
    // anything when Terminated is set or method is empty. Called on the UI
    // thread, the method runs at once. On the execution thread a suspended
    // thread first parks here until it is resumed or stopped.
    void Synchronize(const TSyncMethod& method);
    void Synchronize(const TSyncThreadMethod& method);
    // Stores data in the synchronized-call slot and hands the method a
    // reference to it; SyncData() reads what the method left there.
    void Synchronize(const TSyncDataMethod& method, void* data);
    void* SyncData() const;

    // Linux cannot suspend another thread, so suspension is cooperative:
    // after TBMThread::Suspend the execution thread parks at its next
    // Synchronize or call of this function, until Resume, Stop or the owner's
    // destruction releases it. Returns at once when not suspended. A handler
    // that loops without synchronizing should call it once a pass.
    void WaitWhileSuspended();

    // The exception that ended OnExecute, if one did; kept, reported to nobody.
    // Read it on the execution thread or in OnTerminate.
    std::exception_ptr FatalException() const { return fatalException_; }

private:
    friend class TBMThread;
    // The thread body holds the object in a unique_ptr; nobody else may delete it.
    friend struct std::default_delete<TBMExecuteThread>;

    ~TBMExecuteThread() = default;

    // UI thread, for the owner. Creates the thread parked at its start; it
    // runs when Resume releases it. The thread owns the returned object; the
    // operating-system thread goes to os, for the owner to join once the
    // termination notification has run. Throws std::runtime_error "Thread
    // creation error: ..." if the system refuses the thread and "Thread
    // Error: ..." if it refuses the priority (the new thread then ends unseen
    // and is joined); nothing is left behind either way.
    static TBMExecuteThread* CreateSuspended(TBMExecuteOwner& owner, void* data, TThreadPriority priority,
                                             std::thread& os);
    // UI thread. Except for tpIdle, waits briefly until the thread has begun
    // (see Begun). Throws std::runtime_error "Thread Error: <text> (<code>)" when the
    // system refuses.
    void SetPriority(TThreadPriority priority);
    // UI thread. Suspend sets the park flag, Resume clears it and wakes a
    // parked thread; Terminate sets Terminated and then releases a parked
    // thread, so that it wakes to the flag.
    void Suspend();
    void Resume();
    void Terminate();
    // UI thread, from the owner's hand-over slot: runs the call that the
    // execution thread is waiting on.
    void RunPendingCall();

    // The operating-system thread's function: runs the body, then destroys
    // the object as self goes.
    static void Body(std::unique_ptr<TBMExecuteThread> self);
    // The thread body: record Begun, wait to be released, run the owner's
    // Execute unless already terminated, deliver the termination notification.
    void Run();
    // Hands call to the UI thread and waits until it has run there.
    void CallOnUiThread(std::function<void()> call);

    // What the thread records as it begins: the kernel's id of the thread,
    // which the nice value is set through, and the nice value it started with.
    struct Begun {
        int tid = 0;
        int nice = 0;
    };
    // UI thread: waits until the thread has recorded them. The thread does so
    // first thing, needing nothing of the UI thread, so the wait is short.
    Begun WaitUntilBegun();

    TBMExecuteOwner& owner_;
    QObject* const deliveryTarget_;
    TBMThread* const syncSender_;
    std::thread::native_handle_type handle_{};
    std::atomic<bool> terminated_{false};

    // Park state: the start gate and cooperative suspension. The lock also
    // guards what the thread records as it begins.
    std::mutex parkLock_;
    std::condition_variable parkWake_;
    bool suspended_ = true;
    bool abandoned_ = false;  // created, but Start failed: end without notification
    std::condition_variable begunWake_;
    Begun begun_;  // tid 0 until the thread has begun

    // The call handed to the UI thread and what it raised. The lock also
    // orders everything the two threads touch around a hand-over, since the
    // wait inside Qt's queued call is invisible to the thread sanitizer.
    mutable std::mutex callLock_;
    std::function<void()> pendingCall_;
    std::exception_ptr callError_;
    void* syncData_ = nullptr;

    std::exception_ptr fatalException_;
};
