#include "thread/TBMThread.h"
#include "thread/TBMThreadGroup.h"

#include "support/PumpUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

bool OnUiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

void LoopUntilTerminated(QObject*, TBMExecuteThread* thread, void*&) {
    while (!thread->Terminated())
        std::this_thread::sleep_for(1ms);
}

// Stops a component and waits until it is idle again.
void StopAndWait(TBMThread& component) {
    component.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
}

TEST(TBMThreadTest, RunsHandlerOnItsOwnThreadAndEndsOnUiThread) {
    TBMThread component;
    int given = 0, replaced = 0;

    struct Seen {
        QObject* sender = nullptr;
        TBMExecuteThread* thread = nullptr;
        void* data = nullptr;
        bool onUiThread = true;
    };
    Seen execute, terminate;
    bool runningInTerminate = true;
    bool fatal = true;

    component.OnExecute = [&](QObject* sender, TBMExecuteThread* thread, void*& data) {
        execute = {sender, thread, data, OnUiThread()};
        data = &replaced;  // the handler may replace Data; OnTerminate sees it
    };
    component.OnTerminate = [&](QObject* sender, TBMExecuteThread* thread, void*& data) {
        terminate = {sender, thread, data, OnUiThread()};
        runningInTerminate = component.GetRuning();
        fatal = thread->FatalException() != nullptr;
    };

    component.Start(&given);
    EXPECT_TRUE(component.GetRuning());
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));

    EXPECT_EQ(execute.sender, &component);
    ASSERT_NE(execute.thread, nullptr);
    EXPECT_EQ(execute.data, &given);
    EXPECT_FALSE(execute.onUiThread);

    EXPECT_EQ(terminate.sender, &component);
    EXPECT_EQ(terminate.thread, execute.thread);
    EXPECT_EQ(terminate.data, &replaced);
    EXPECT_TRUE(terminate.onUiThread);
    EXPECT_FALSE(runningInTerminate);
    EXPECT_FALSE(fatal);
}

TEST(TBMThreadTest, StartAndEndStepsComeInOrder) {
    TBMThreadGroup group;
    TBMThread component;
    component.SetThreadGroup(&group);
    std::vector<std::string> log;  // UI thread only
    std::atomic<bool> executed{false};

    auto note = [&](const char* what) {
        return [&log, &component, what](QObject*, TBMExecuteThread*, void*&) {
            log.push_back(std::string(what) + (component.GetRuning() ? " running" : " idle"));
        };
    };
    group.OnThreadStart = note("group thread start");
    group.OnStart = note("group start");
    component.OnStart = note("start");
    group.OnThreadTerminate = note("group thread terminate");
    group.OnTerminate = note("group terminate");
    component.OnTerminate = note("terminate");
    component.OnExecute = [&](QObject*, TBMExecuteThread*, void*&) { executed = true; };

    component.Start();
    EXPECT_EQ(log, (std::vector<std::string>{"group thread start running", "group start running", "start running"}));
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_TRUE(executed);
    EXPECT_EQ(log, (std::vector<std::string>{"group thread start running", "group start running", "start running",
                                             "group thread terminate idle", "group terminate idle", "terminate idle"}));
}

TEST(TBMThreadTest, StartWhileRunningMakesNoSecondThread) {
    TBMThreadGroup group;
    TBMThread component;
    component.SetThreadGroup(&group);
    int starts = 0, groupStarts = 0;
    std::atomic<int> executes{0};
    component.OnStart = [&](QObject*, TBMExecuteThread*, void*&) { ++starts; };
    group.OnThreadStart = [&](QObject*, TBMExecuteThread*, void*&) { ++groupStarts; };
    component.OnExecute = [&](QObject* sender, TBMExecuteThread* thread, void*& data) {
        ++executes;
        LoopUntilTerminated(sender, thread, data);
    };

    int first = 0, second = 0;
    component.Start(&first);
    ASSERT_TRUE(PumpUntil([&] { return executes == 1; }));
    component.Start(&second);
    component.Start();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(groupStarts, 1);
    EXPECT_EQ(group.GetCountRuning(), 1);

    // Stopping makes it Ending, not Idle: a Start now still finds the thread.
    component.Stop();
    component.Start(&second);
    EXPECT_EQ(starts, 1);
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_EQ(executes, 1);
    EXPECT_EQ(group.GetCountRuning(), 0);
}

TEST(TBMThreadTest, StopSuspendResumeOnIdleComponentDoNothing) {
    TBMThreadGroup group;
    TBMThread component;
    component.SetThreadGroup(&group);
    int terminates = 0, groupTerminates = 0;
    component.OnTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++terminates; };
    group.OnThreadTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++groupTerminates; };

    auto idleCalls = [&] {
        component.Stop();
        component.Suspend();
        component.Resume();
        component.SetPriority(tpIdle);
        component.SetPriority(tpNormal);
        QTest::qWait(50);
    };
    idleCalls();
    EXPECT_FALSE(component.GetRuning());
    EXPECT_EQ(terminates, 0);

    // Also once a run has ended.
    component.Start();
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    idleCalls();
    EXPECT_EQ(terminates, 1);
    EXPECT_EQ(groupTerminates, 1);
    EXPECT_EQ(group.GetCountRuning(), 0);
}

TEST(TBMThreadTest, StaysRunningUntilNotificationHasRunOnUiThread) {
    TBMThread component;
    std::atomic<bool> began{false}, returned{false};
    int terminates = 0;
    component.OnExecute = [&](QObject* sender, TBMExecuteThread* thread, void*& data) {
        began = true;
        LoopUntilTerminated(sender, thread, data);
        returned = true;
    };
    component.OnTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++terminates; };

    component.Start();
    ASSERT_TRUE(WaitWithoutPumping([&] { return began.load(); }));
    component.Stop();
    EXPECT_TRUE(component.GetRuning());

    // The handler has returned, but without this thread's events nothing ends.
    ASSERT_TRUE(WaitWithoutPumping([&] { return returned.load(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(component.GetRuning());
    EXPECT_EQ(terminates, 0);

    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_EQ(terminates, 1);
}

// The handler asks the UI thread to suspend the component at its 2nd and 4th
// synchronized call, so where it parks is certain.
TEST(TBMThreadTest, SuspendedThreadParksUntilResumedOrStopped) {
    struct Case {
        const char* name;
        bool callsWaitWhileSuspended;  // else it parks at its next Synchronize
        int passesWhenParkedAt2;
    };
    const Case cases[] = {
        {"parks in Synchronize", false, 2},
        {"parks in WaitWhileSuspended", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBMThread component;
        int syncs = 0;  // written by the synchronized method, on the UI thread
        std::atomic<int> passes{0};
        component.OnExecute = [&](QObject*, TBMExecuteThread* thread, void*&) {
            while (!thread->Terminated()) {
                thread->Synchronize([&](TBMThread* sender) {
                    ++syncs;
                    if (syncs == 2 || syncs == 4)
                        sender->Suspend();
                });
                if (c.callsWaitWhileSuspended)
                    thread->WaitWhileSuspended();
                ++passes;
            }
        };

        component.Start();
        ASSERT_TRUE(PumpUntil([&] { return syncs == 2; }));
        QTest::qWait(300);
        EXPECT_EQ(syncs, 2);
        EXPECT_EQ(passes, c.passesWhenParkedAt2);
        EXPECT_TRUE(component.GetRuning());

        component.Resume();
        ASSERT_TRUE(PumpUntil([&] { return syncs == 4; }));
        QTest::qWait(300);
        EXPECT_EQ(syncs, 4);

        // Stop releases the parked thread, which sees Terminated and ends
        // without running another synchronized call.
        component.Stop();
        ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
        EXPECT_EQ(syncs, 4);
    }
}

TEST(TBMThreadTest, SynchronizeRunsEachFormOnUiThreadWithItsArguments) {
    TBMThread component;
    int slotIn = 0, slotOut = 0;

    struct Seen {
        QObject* sender = nullptr;
        TBMExecuteThread* thread = nullptr;
        void* data = nullptr;
        bool onUiThread = false;
    };
    Seen senderOnly, withThread, withObjectSender, withData, withDataObjectSender;
    TBMExecuteThread* executing = nullptr;
    void* slotAfterCall = nullptr;

    component.OnExecute = [&](QObject*, TBMExecuteThread* thread, void*&) {
        executing = thread;
        thread->Synchronize([&](TBMThread* sender) { senderOnly = {sender, nullptr, nullptr, OnUiThread()}; });
        thread->Synchronize(
            [&](TBMThread* sender, TBMExecuteThread* t) { withThread = {sender, t, nullptr, OnUiThread()}; });
        thread->Synchronize(
            [&](QObject* sender, TBMExecuteThread* t) { withObjectSender = {sender, t, nullptr, OnUiThread()}; });
        thread->Synchronize(
            [&](TBMThread* sender, TBMExecuteThread* t, void*& data) {
                withData = {sender, t, data, OnUiThread()};
                data = &slotOut;
            },
            &slotIn);
        slotAfterCall = thread->SyncData();
        thread->Synchronize(
            [&](QObject* sender, TBMExecuteThread* t, void*& data) {
                withDataObjectSender = {sender, t, data, OnUiThread()};
            },
            &slotIn);
    };

    component.Start();
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));

    ASSERT_NE(executing, nullptr);
    const struct {
        const char* form;
        const Seen& seen;
        TBMExecuteThread* thread;
        void* data;
    } expected[] = {
        {"sender", senderOnly, nullptr, nullptr},
        {"sender, thread", withThread, executing, nullptr},
        {"object sender, thread", withObjectSender, executing, nullptr},
        {"sender, thread, data", withData, executing, &slotIn},
        {"object sender, thread, data", withDataObjectSender, executing, &slotIn},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.form);
        EXPECT_TRUE(e.seen.onUiThread);
        EXPECT_EQ(e.seen.sender, &component);
        EXPECT_EQ(e.seen.thread, e.thread);
        EXPECT_EQ(e.seen.data, e.data);
    }
    EXPECT_EQ(slotAfterCall, &slotOut);
}

TEST(TBMThreadTest, SynchronizeRunsNothingWhenTerminatedOrEmpty) {
    TBMThread component;
    std::atomic<bool> emptyReturned{false}, terminatedReturned{false};
    bool ran = false;
    auto run = [&](QObject*) { ran = true; };

    component.OnExecute = [&](QObject*, TBMExecuteThread* thread, void*&) {
        thread->Synchronize(TBMExecuteThread::TSyncMethod());
        thread->Synchronize(TBMExecuteThread::TSyncThreadMethod());
        thread->Synchronize(TBMExecuteThread::TSyncDataMethod(), nullptr);
        emptyReturned = true;
        while (!thread->Terminated())
            std::this_thread::sleep_for(1ms);
        thread->Synchronize(run);
        thread->Synchronize([&](QObject* s, TBMExecuteThread*) { run(s); });
        thread->Synchronize([&](QObject* s, TBMExecuteThread*, void*&) { run(s); }, nullptr);
        terminatedReturned = true;
    };

    component.Start();
    // Nothing pumps here, so a call that did go to the UI thread would hang.
    ASSERT_TRUE(WaitWithoutPumping([&] { return emptyReturned.load(); }));
    component.Stop();
    ASSERT_TRUE(WaitWithoutPumping([&] { return terminatedReturned.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_FALSE(ran);
}

TEST(TBMThreadTest, SynchronizeOnUiThreadRunsAtOnce) {
    TBMThread component;
    int slot = 0;
    std::vector<std::string> ran;
    component.OnStart = [&](QObject*, TBMExecuteThread* thread, void*&) {
        thread->Synchronize([&](TBMThread* sender) {
            if (sender == &component)
                ran.push_back("sender");
        });
        thread->Synchronize([&](TBMThread*, TBMExecuteThread* t, void*& data) {
            if (t == thread && data == &slot)
                ran.push_back("data");
        }, &slot);
        ran.push_back("end of OnStart");
    };
    component.Start();
    EXPECT_EQ(ran, (std::vector<std::string>{"sender", "data", "end of OnStart"}));
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
}

TEST(TBMThreadTest, ExceptionsReachTheExecutionThreadOrEndIt) {
    TBMThread component;
    std::string caught;
    bool ranAfter = false;
    std::string fatal;
    component.OnExecute = [&](QObject*, TBMExecuteThread* thread, void*&) {
        try {
            thread->Synchronize([](TBMThread*) { throw std::runtime_error("raised on the UI thread"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        thread->Synchronize([&](TBMThread*) { ranAfter = true; });
        throw std::logic_error("leaves the handler");
    };
    component.OnTerminate = [&](QObject*, TBMExecuteThread* thread, void*&) {
        try {
            if (thread->FatalException())
                std::rethrow_exception(thread->FatalException());
        } catch (const std::logic_error& e) {
            fatal = e.what();
        }
    };

    component.Start();
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_EQ(caught, "raised on the UI thread");
    EXPECT_TRUE(ranAfter);
    EXPECT_EQ(fatal, "leaves the handler");
}

TEST(TBMThreadTest, OnStartPreparesDataBeforeTheThreadBegins) {
    TBMThread component;
    int given = 0, prepared = 0;
    std::atomic<bool> onStartDone{false};
    bool runningInOnStart = false;
    int percentInOnStart = -1;
    void* givenInOnStart = nullptr;
    bool onStartDoneSeenByHandler = false;
    void* dataSeenByHandler = nullptr;

    component.OnStart = [&](QObject*, TBMExecuteThread* thread, void*& data) {
        runningInOnStart = component.GetRuning();
        percentInOnStart = thread->Percent;
        givenInOnStart = data;
        // Gives a thread that began too early the time to show it.
        std::this_thread::sleep_for(50ms);
        data = &prepared;
        onStartDone = true;
    };
    component.OnExecute = [&](QObject*, TBMExecuteThread*, void*& data) {
        onStartDoneSeenByHandler = onStartDone;
        dataSeenByHandler = data;
    };

    component.Start(&given);
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_TRUE(runningInOnStart);
    EXPECT_EQ(percentInOnStart, 0);
    EXPECT_EQ(givenInOnStart, &given);
    EXPECT_TRUE(onStartDoneSeenByHandler);
    EXPECT_EQ(dataSeenByHandler, &prepared);
}

TEST(TBMThreadTest, ThrowingOnStartEndsTheNewThreadUnrun) {
    TBMThread component;
    std::atomic<bool> executed{false};
    int terminates = 0;
    component.OnStart = [](QObject*, TBMExecuteThread*, void*&) { throw std::runtime_error("no"); };
    component.OnExecute = [&](QObject*, TBMExecuteThread*, void*&) { executed = true; };
    component.OnTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++terminates; };

    EXPECT_THROW(component.Start(), std::runtime_error);
    ASSERT_TRUE(PumpUntil([&] { return !component.GetRuning(); }));
    EXPECT_FALSE(executed);
    EXPECT_EQ(terminates, 1);
}

TEST(TBMThreadTest, RestartRunsNewThreadWithNewDataAndPercentZero) {
    TBMThread component;
    int first = 0, second = 0;
    std::vector<std::pair<void*, int>> onStarts;  // Data and Percent
    std::atomic<void*> handlerData{nullptr};
    std::atomic<bool> percentSet{false};

    component.OnStart = [&](QObject*, TBMExecuteThread* thread, void*& data) {
        onStarts.emplace_back(data, thread->Percent.load());
    };
    component.OnExecute = [&](QObject* sender, TBMExecuteThread* thread, void*& data) {
        handlerData = data;
        thread->Percent = 7;
        percentSet = true;
        LoopUntilTerminated(sender, thread, data);
    };

    component.Start(&first);
    ASSERT_TRUE(PumpUntil([&] { return percentSet.load(); }));
    EXPECT_EQ(handlerData, &first);
    StopAndWait(component);

    percentSet = false;
    component.Start(&second);
    ASSERT_TRUE(PumpUntil([&] { return percentSet.load(); }));
    EXPECT_EQ(handlerData, &second);
    StopAndWait(component);

    const std::vector<std::pair<void*, int>> expected = {{&first, 0}, {&second, 0}};
    EXPECT_EQ(onStarts, expected);
}

TEST(TBMThreadTest, UpdateTimerReportsPercentOnlyWhileRunning) {
    TBMThread component;
    EXPECT_EQ(component.GetRefreshInterval(), 100u);
    EXPECT_FALSE(component.GetUpdateEnabled());

    int data = 0;
    int updates = 0;
    struct Seen {
        QObject* sender = nullptr;
        TBMExecuteThread* thread = nullptr;
        void* data = nullptr;
        int percent = -1;
        bool onUiThread = false;
    } last;
    std::atomic<TBMExecuteThread*> executing{nullptr};
    component.OnUpdate = [&](QObject* sender, TBMExecuteThread* thread, void*& d, int percent) {
        ++updates;
        last = {sender, thread, d, percent, OnUiThread()};
    };
    component.OnExecute = [&](QObject* sender, TBMExecuteThread* thread, void*& d) {
        thread->Percent = 42;
        executing = thread;
        LoopUntilTerminated(sender, thread, d);
    };
    component.SetRefreshInterval(10);
    EXPECT_EQ(component.GetRefreshInterval(), 10u);

    // Disabled: a running thread gets no updates.
    component.Start(&data);
    ASSERT_TRUE(PumpUntil([&] { return executing.load() != nullptr; }));
    QTest::qWait(200);
    EXPECT_EQ(updates, 0);
    StopAndWait(component);

    // Enabled while idle: the ticks find no thread.
    component.SetUpdateEnabled(true);
    QTest::qWait(200);
    EXPECT_EQ(updates, 0);

    executing = nullptr;
    component.Start(&data);
    ASSERT_TRUE(PumpUntil([&] { return last.percent == 42; }));
    EXPECT_EQ(last.sender, &component);
    EXPECT_EQ(last.thread, executing.load());
    EXPECT_EQ(last.data, &data);
    EXPECT_TRUE(last.onUiThread);

    StopAndWait(component);
    const int afterEnd = updates;
    QTest::qWait(200);
    EXPECT_EQ(updates, afterEnd);
}

// RefreshInterval 0 means no update timer, not one that fires on every pass
// of the event loop. A second running component with a 10 ms interval is the
// clock: while it ticks, the component under test must not.
TEST(TBMThreadTest, ZeroRefreshIntervalMeansNoUpdates) {
    TBMThread clock, component;
    int clockTicks = 0, updates = 0;
    clock.OnUpdate = [&](QObject*, TBMExecuteThread*, void*&, int) { ++clockTicks; };
    component.OnUpdate = [&](QObject*, TBMExecuteThread*, void*&, int) { ++updates; };
    clock.OnExecute = component.OnExecute = LoopUntilTerminated;
    clock.SetRefreshInterval(10);
    clock.SetUpdateEnabled(true);
    auto letClockTick = [&](int ticks) {
        const int until = clockTicks + ticks;
        return PumpUntil([&] { return clockTicks >= until; });
    };

    // Set to 0 while idle: neither enabling nor starting makes a timer.
    component.SetRefreshInterval(0);
    EXPECT_EQ(component.GetRefreshInterval(), 0u);
    component.SetUpdateEnabled(true);
    clock.Start();
    component.Start();
    ASSERT_TRUE(letClockTick(5));
    EXPECT_EQ(updates, 0);

    // A non-zero interval while running and enabled starts the timer.
    component.SetRefreshInterval(10);
    ASSERT_TRUE(PumpUntil([&] { return updates >= 1; }));

    // Back to 0 while running stops it.
    component.SetRefreshInterval(0);
    const int before = updates;
    ASSERT_TRUE(letClockTick(5));
    EXPECT_EQ(updates, before);

    StopAndWait(component);
    StopAndWait(clock);
}

int SchedulingPolicyOfThisThread() {
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    return policy;
}

// Linux keeps a nice value per thread.
int NiceOfThisThread() {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
}

constexpr int kUnsampled = 100;  // no nice value is that large

// A handler that keeps sampling its thread's policy and nice value.
struct PrioritySampler {
    std::atomic<int> policy{-1};
    std::atomic<int> nice{kUnsampled};
    std::atomic<int> samples{0};

    TBMThreadNotifyEvent Handler() {
        return [this](QObject*, TBMExecuteThread* thread, void*&) {
            while (!thread->Terminated()) {
                nice = NiceOfThisThread();
                policy = SchedulingPolicyOfThisThread();
                ++samples;
                std::this_thread::sleep_for(1ms);
            }
        };
    }
    // Waits until the thread has sampled twice more: one sample at least was
    // taken after whatever happened before this call.
    bool Resampled() {
        const int until = samples + 2;
        return PumpUntil([&] { return samples >= until; });
    }
};

// Nice values count from the one the starting (UI) thread has, and stop at 19.
int NiceAbove(int base, int above) {
    return std::min(base + above, 19);
}

// Only lowers the priority while the thread runs, which any user may; raising
// it again is RaisingPriorityWhileRunningNeedsPrivilege.
TEST(TBMThreadTest, PriorityIsAppliedAtStartAndWhileRunning) {
    EXPECT_EQ(TBMThread().GetPriority(), tpNormal);
    const int base = NiceOfThisThread();
    struct Applied {
        TThreadPriority priority;
        int policy;
        int niceAbove;  // over the starting thread's nice value
    };
    const struct {
        Applied atStart, lowerWhileRunning;
    } cases[] = {
        {{tpIdle, SCHED_IDLE, 0}, {tpIdle, SCHED_IDLE, 0}},
        {{tpLowest, SCHED_OTHER, 10}, {tpLowest, SCHED_OTHER, 10}},
        {{tpLower, SCHED_OTHER, 5}, {tpLowest, SCHED_OTHER, 10}},
        {{tpNormal, SCHED_OTHER, 0}, {tpLower, SCHED_OTHER, 5}},
        {{tpHigher, SCHED_OTHER, 0}, {tpLowest, SCHED_OTHER, 10}},
        {{tpHighest, SCHED_OTHER, 0}, {tpNormal, SCHED_OTHER, 0}},
        {{tpTimeCritical, SCHED_OTHER, 0}, {tpLower, SCHED_OTHER, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.atStart.priority);
        TBMThread component;
        PrioritySampler sampled;
        component.OnExecute = sampled.Handler();
        component.SetPriority(c.atStart.priority);
        component.Start();
        ASSERT_TRUE(PumpUntil([&] { return sampled.policy != -1; }));
        EXPECT_EQ(sampled.policy, c.atStart.policy);
        EXPECT_EQ(sampled.nice, NiceAbove(base, c.atStart.niceAbove));

        const Applied& lower = c.lowerWhileRunning;
        component.SetPriority(lower.priority);
        EXPECT_TRUE(PumpUntil([&] {
            return sampled.policy == lower.policy && sampled.nice == NiceAbove(base, lower.niceAbove);
        }));

        // SCHED_IDLE leaves the nice value as it was.
        component.SetPriority(tpIdle);
        EXPECT_TRUE(PumpUntil([&] { return sampled.policy == SCHED_IDLE; }));
        EXPECT_EQ(sampled.nice, NiceAbove(base, lower.niceAbove));
        StopAndWait(component);
    }
}

// Whether the system lets a thread of this process make a change: tried on a
// thread of its own, which starts as the UI thread's do.
bool SystemAllows(const std::function<bool()>& change) {
    bool allowed = false;
    std::thread([&] { allowed = change(); }).join();
    return allowed;
}

// Raising a running thread's priority again needs privileges (root, or
// CAP_SYS_NICE, or a large RLIMIT_NICE) that a normal user lacks. The test
// tries the same change by hand first and expects what the system allows:
// the change, or the "Thread Error" with the value kept and the thread left
// as it was.
TEST(TBMThreadTest, RaisingPriorityWhileRunningNeedsPrivilege) {
    const int base = NiceOfThisThread();
    const struct {
        const char* name;
        TThreadPriority from, to;
        int toNiceAbove;
        int refusal;  // the error code when the system refuses
        std::function<bool()> byHand;
    } cases[] = {
        {"to a smaller nice value", tpLowest, tpNormal, 0, EACCES,
         [] {
             const int nice = NiceOfThisThread();
             const auto tid = static_cast<id_t>(gettid());
             return setpriority(PRIO_PROCESS, tid, nice + 10) == 0 && setpriority(PRIO_PROCESS, tid, nice) == 0;
         }},
        {"out of SCHED_IDLE", tpIdle, tpHigher, 0, EPERM,
         [] {
             sched_param param{};
             return pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0 &&
                    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param) == 0;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool allowed = SystemAllows(c.byHand);
        SCOPED_TRACE(allowed ? "the system allows it" : "the system refuses it");
        TBMThread component;
        PrioritySampler sampled;
        component.OnExecute = sampled.Handler();
        component.SetPriority(c.from);
        component.Start();
        ASSERT_TRUE(PumpUntil([&] { return sampled.policy != -1; }));
        const int policyBefore = sampled.policy, niceBefore = sampled.nice;

        if (allowed) {
            EXPECT_NO_THROW(component.SetPriority(c.to));
            EXPECT_TRUE(PumpUntil([&] {
                return sampled.policy == SCHED_OTHER && sampled.nice == NiceAbove(base, c.toNiceAbove);
            }));
        } else {
            std::string error;
            try {
                component.SetPriority(c.to);
            } catch (const std::runtime_error& e) {
                error = e.what();
            }
            EXPECT_EQ(error, "Thread Error: " + std::string(std::strerror(c.refusal)) + " (" +
                                 std::to_string(c.refusal) + ")");
            ASSERT_TRUE(sampled.Resampled());
            EXPECT_EQ(sampled.policy, policyBefore);
            EXPECT_EQ(sampled.nice, niceBefore);
        }
        EXPECT_EQ(component.GetPriority(), c.to);
        StopAndWait(component);
    }
}

// Counts the user events it receives.
class Bystander : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            ++events;
        return QObject::event(e);
    }
};

// Destroying a running component: its handler has returned when the
// destructor does, and neither OnTerminate nor the groups hear of the end;
// still the groups (the component's and the one enclosing it) no longer count
// it as running. While it waits, the destructor serves its thread's
// deliveries and nothing else: a window destroying it as a child is half gone
// by then.
TEST(TBMThreadTest, DestroyingRunningComponentWaitsForHandlerSilently) {
    enum Kind { Looping, Synchronizing, Suspended };
    const struct {
        const char* name;
        Kind kind;
    } cases[] = {
        {"looping handler", Looping},
        {"handler in Synchronize", Synchronizing},
        {"suspended handler", Suspended},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBMThreadGroup outer, group;
        group.SetThreadGroup(&outer);
        auto component = std::make_unique<TBMThread>();
        component->SetThreadGroup(&group);
        int terminates = 0, groupReports = 0;
        std::atomic<bool> busy{false}, returned{false};
        component->OnTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++terminates; };
        for (TBMThreadGroup* g : {&group, &outer}) {
            g->OnThreadTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++groupReports; };
            g->OnTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++groupReports; };
        }
        component->OnExecute = [&](QObject*, TBMExecuteThread* thread, void*&) {
            while (!thread->Terminated()) {
                if (c.kind == Looping) {
                    busy = true;
                    std::this_thread::sleep_for(1ms);
                } else {
                    thread->Synchronize([&](TBMThread* sender) {
                        busy = true;
                        if (c.kind == Suspended)
                            sender->Suspend();
                    });
                }
            }
            // Shows whether the destructor waited for the end.
            std::this_thread::sleep_for(100ms);
            returned = true;
        };

        component->Start();
        ASSERT_TRUE(PumpUntil([&] { return busy.load(); }));
        ASSERT_EQ(group.GetCountRuning(), 1);
        ASSERT_EQ(outer.GetCountRuning(), 1);
        Bystander bystander;
        QCoreApplication::postEvent(&bystander, new QEvent(QEvent::User));
        component.reset();
        EXPECT_TRUE(returned);
        EXPECT_EQ(terminates, 0);
        EXPECT_EQ(groupReports, 0);
        EXPECT_EQ(group.GetThreadItemsCount(), 0);
        for (const TBMThreadGroup* g : {&group, &outer}) {
            EXPECT_EQ(g->GetCountRuning(), 0);
            EXPECT_FALSE(g->GetRuning());
        }
        EXPECT_EQ(bystander.events, 0);
        EXPECT_TRUE(PumpUntil([&] { return bystander.events == 1; }));
    }
}


// Set by the destructor of a thread-local object of the handler's thread: the
// operating-system thread has ended only once it has run.
std::atomic<int> threadsEnded{0};
struct ThreadEndProbe {
    ~ThreadEndProbe() {
        // Late on purpose: a component that does not join would be gone first.
        std::this_thread::sleep_for(200ms);
        ++threadsEnded;
    }
};

TEST(TBMThreadTest, NoThreadOfARunOutlivesTheComponent) {
    enum When { WhileRunning, AfterTheRunEnded, AfterARestartFromOnTerminate };
    for (When when : {WhileRunning, AfterTheRunEnded, AfterARestartFromOnTerminate}) {
        SCOPED_TRACE(when);
        threadsEnded = 0;
        auto component = std::make_unique<TBMThread>();
        int runs = 0;
        std::atomic<int> begun{0};
        component->OnExecute = [&](QObject*, TBMExecuteThread* thread, void*&) {
            thread_local ThreadEndProbe probe;
            (void)probe;
            ++begun;
            while (!thread->Terminated())
                std::this_thread::sleep_for(1ms);
        };
        // Starting again from the end of a run must not wait for that run's
        // thread, which is still inside this notification.
        component->OnTerminate = [&](QObject* sender, TBMExecuteThread*, void*&) {
            if (when == AfterARestartFromOnTerminate && ++runs == 1)
                static_cast<TBMThread*>(sender)->Start();
        };
        component->Start();
        ASSERT_TRUE(PumpUntil([&] { return begun == 1; }));  // a run stopped before it began has no probe
        int expected = 1;
        if (when == AfterTheRunEnded)
            StopAndWait(*component);
        if (when == AfterARestartFromOnTerminate) {
            component->Stop();
            ASSERT_TRUE(PumpUntil([&] { return runs == 1 && begun == 2; }));
            expected = 2;
        }
        component.reset();
        EXPECT_EQ(threadsEnded, expected);
    }
}

}  // namespace
