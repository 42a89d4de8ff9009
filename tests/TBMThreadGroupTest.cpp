#include "thread/TBMThread.h"
#include "thread/TBMThreadGroup.h"

#include "support/PumpUntil.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

// A named component whose handler runs until it is stopped.
class Worker : public TBMThread {
public:
    explicit Worker(const char* name) {
        setObjectName(QString::fromLatin1(name));
        OnExecute = [](QObject*, TBMExecuteThread* thread, void*&) {
            while (!thread->Terminated())
                std::this_thread::sleep_for(1ms);
        };
    }
    void StopAndWait() {
        Stop();
        ASSERT_TRUE(PumpUntil([this] { return !GetRuning(); }));
    }
};

TBMThreadGroup* NamedGroup(std::unique_ptr<TBMThreadGroup>& holder, const char* name) {
    holder = std::make_unique<TBMThreadGroup>();
    holder->setObjectName(QString::fromLatin1(name));
    return holder.get();
}

// Records the group's start and end events as "<group> <event> <member>".
void RecordStartsAndEnds(TBMThreadGroup& group, Log& log) {
    auto note = [&log, &group](const char* event) {
        return [&log, &group, event](QObject* sender, TBMExecuteThread*, void*&) {
            log.push_back(group.objectName().toStdString() + " " + event + " " + sender->objectName().toStdString());
        };
    };
    group.OnThreadStart = note("thread start");
    group.OnStart = note("start");
    group.OnThreadTerminate = note("thread terminate");
    group.OnTerminate = note("terminate");
}

TEST(TBMThreadGroupTest, TwoMembersStartingAndEndingOneAfterAnother) {
    std::unique_ptr<TBMThreadGroup> holder;
    TBMThreadGroup& group = *NamedGroup(holder, "g");
    Worker a("a"), b("b");
    a.SetThreadGroup(&group);
    b.SetThreadGroup(&group);
    Log log;
    RecordStartsAndEnds(group, log);

    EXPECT_FALSE(group.GetRuning());
    a.Start();
    b.Start();
    EXPECT_EQ(group.GetCountRuning(), 2);
    a.StopAndWait();
    EXPECT_EQ(group.GetCountRuning(), 1);
    EXPECT_TRUE(group.GetRuning());
    b.StopAndWait();
    EXPECT_EQ(group.GetCountRuning(), 0);
    EXPECT_FALSE(group.GetRuning());

    EXPECT_EQ(log, (Log{"g thread start a", "g start a", "g thread start b", "g thread terminate a",
                        "g thread terminate b", "g terminate b"}));
}

TEST(TBMThreadGroupTest, NestedGroupPassesStartsAndEndsUpward) {
    std::unique_ptr<TBMThreadGroup> outerHolder, innerHolder;
    TBMThreadGroup& outer = *NamedGroup(outerHolder, "outer");
    TBMThreadGroup& inner = *NamedGroup(innerHolder, "inner");
    Worker t("t"), u("u");
    t.SetThreadGroup(&inner);
    inner.SetThreadGroup(&outer);
    u.SetThreadGroup(&outer);
    Log log;
    RecordStartsAndEnds(outer, log);
    RecordStartsAndEnds(inner, log);

    t.Start();
    EXPECT_EQ(log, (Log{"inner thread start t", "outer thread start t", "outer start t", "inner start t"}));
    log.clear();
    u.Start();
    EXPECT_EQ(log, (Log{"outer thread start u"}));
    EXPECT_EQ(inner.GetCountRuning(), 1);
    EXPECT_EQ(outer.GetCountRuning(), 2);

    log.clear();
    t.StopAndWait();
    EXPECT_EQ(log, (Log{"inner thread terminate t", "outer thread terminate t", "inner terminate t"}));
    log.clear();
    u.StopAndWait();
    EXPECT_EQ(log, (Log{"outer thread terminate u", "outer terminate u"}));
}

TEST(TBMThreadGroupTest, MembershipListsFollowJoinsAndLeaves) {
    TBMThreadGroup outer, inner;
    Worker a("a"), b("b"), c("c");
    a.SetThreadGroup(&outer);
    b.SetThreadGroup(&inner);
    c.SetThreadGroup(&inner);
    inner.SetThreadGroup(&outer);
    inner.SetThreadGroup(&outer);  // the same group again changes nothing

    ASSERT_EQ(outer.GetThreadItemsCount(), 2);
    EXPECT_EQ(outer.GetThreadItems(0), &a);
    EXPECT_EQ(outer.GetThreadItems(1), &inner);
    ASSERT_EQ(outer.GetThreadsCount(), 3);
    EXPECT_EQ(outer.GetThreads(0), &a);
    EXPECT_EQ(outer.GetThreads(1), &b);
    EXPECT_EQ(outer.GetThreads(2), &c);

    inner.SetThreadGroup(nullptr);
    EXPECT_EQ(inner.GetThreadGroup(), nullptr);
    ASSERT_EQ(outer.GetThreadItemsCount(), 1);
    ASSERT_EQ(outer.GetThreadsCount(), 1);
    EXPECT_EQ(outer.GetThreads(0), &a);
    EXPECT_EQ(inner.GetThreadsCount(), 2);

    a.SetThreadGroup(&inner);
    EXPECT_EQ(outer.GetThreadItemsCount(), 0);
    EXPECT_EQ(outer.GetThreadsCount(), 0);
    EXPECT_EQ(inner.GetThreadsCount(), 3);
}

// A member that joins or leaves while its thread runs reports its start or
// end to that group; an idle one reports nothing.
TEST(TBMThreadGroupTest, RunningMembersReportWhenJoiningOrLeaving) {
    std::unique_ptr<TBMThreadGroup> groupHolder, subHolder;
    TBMThreadGroup& group = *NamedGroup(groupHolder, "g");
    TBMThreadGroup& sub = *NamedGroup(subHolder, "sub");
    Worker t("t"), s1("s1"), s2("s2"), idle("idle");
    s1.SetThreadGroup(&sub);
    s2.SetThreadGroup(&sub);
    Log log;
    RecordStartsAndEnds(group, log);

    t.Start();
    t.SetThreadGroup(&group);
    EXPECT_EQ(log, (Log{"g thread start t", "g start t"}));
    idle.SetThreadGroup(&group);
    s1.Start();
    log.clear();
    sub.SetThreadGroup(&group);  // only its running member counts
    EXPECT_EQ(log, (Log{"g thread start s1"}));
    EXPECT_EQ(group.GetCountRuning(), 2);

    log.clear();
    t.SetThreadGroup(nullptr);
    idle.SetThreadGroup(nullptr);
    sub.SetThreadGroup(nullptr);
    EXPECT_EQ(log, (Log{"g thread terminate t", "g thread terminate s1", "g terminate s1"}));
    EXPECT_EQ(group.GetCountRuning(), 0);

    // Left, they no longer report here.
    log.clear();
    t.StopAndWait();
    s1.StopAndWait();
    EXPECT_TRUE(log.empty());
}

TEST(TBMThreadGroupTest, OperationsReachEachDirectMemberInOrder) {
    TBMThreadGroup group, sub;
    Worker a("a"), b("b"), c("c");
    a.SetThreadGroup(&group);
    b.SetThreadGroup(&sub);
    sub.SetThreadGroup(&group);
    c.SetThreadGroup(&group);
    Log log;
    for (Worker* w : {&a, &b, &c}) {
        w->OnStart = [&log](QObject* sender, TBMExecuteThread*, void*& data) {
            log.push_back(sender->objectName().toStdString() + (data ? " with data" : " without data"));
        };
    }

    int data = 0;
    group.Start(&data);
    EXPECT_EQ(log, (Log{"a with data", "b with data", "c with data"}));
    EXPECT_EQ(group.GetCountRuning(), 3);
    EXPECT_EQ(sub.GetCountRuning(), 1);

    group.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !group.GetRuning(); }));
    EXPECT_FALSE(a.GetRuning() || b.GetRuning() || c.GetRuning());

    log.clear();
    group.Start();
    EXPECT_EQ(log, (Log{"a without data", "b without data", "c without data"}));
    group.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !group.GetRuning(); }));
}

// ThreadUpdate hands every update to OnThreadUpdate, but to OnUpdate only when
// no running direct member outranks the reporting one.
TEST(TBMThreadGroupTest, UpdatePriorityDecidesWhichUpdatesReachOnUpdate) {
    TBMThreadGroup group;
    Worker low("low"), high("high"), idleTop("idleTop");
    low.UpdatePriority = 1;
    high.UpdatePriority = 5;
    idleTop.UpdatePriority = 9;  // not running: does not count
    for (Worker* w : {&low, &high, &idleTop})
        w->SetThreadGroup(&group);
    TBMExecuteThread* thread = nullptr;
    low.OnStart = [&](QObject*, TBMExecuteThread* t, void*&) { thread = t; };
    low.Start();
    high.Start();

    int threadUpdates = 0, updates = 0, lastPercent = -1;
    group.OnThreadUpdate = [&](QObject*, TBMExecuteThread*, void*&, int) { ++threadUpdates; };
    group.OnUpdate = [&](QObject*, TBMExecuteThread*, void*&, int percent) {
        ++updates;
        lastPercent = percent;
    };

    const struct {
        int priority;
        bool reachesOnUpdate;
    } cases[] = {{0, false}, {4, false}, {5, true}, {6, true}, {9, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.priority);
        threadUpdates = updates = 0;
        void* data = nullptr;
        group.ThreadUpdate(&low, thread, data, c.priority, 30 + c.priority);
        EXPECT_EQ(threadUpdates, 1);
        EXPECT_EQ(updates, c.reachesOnUpdate ? 1 : 0);
        if (c.reachesOnUpdate) {
            EXPECT_EQ(lastPercent, 30 + c.priority);
        }
    }

    low.StopAndWait();
    high.StopAndWait();
}

// The same rule driven by the members' update timers; updates stay in the
// member's own group.
TEST(TBMThreadGroupTest, MemberUpdatesReachTheirGroupOnly) {
    TBMThreadGroup outer, group;
    group.SetThreadGroup(&outer);
    Worker low("low"), high("high");
    low.UpdatePriority = 0;
    high.UpdatePriority = 1;
    low.SetThreadGroup(&group);
    high.SetThreadGroup(&group);
    low.SetRefreshInterval(10);
    low.SetUpdateEnabled(true);
    low.OnExecute = [](QObject*, TBMExecuteThread* thread, void*&) {
        thread->Percent = 64;
        while (!thread->Terminated())
            std::this_thread::sleep_for(1ms);
    };

    int threadUpdates = 0, updates = 0, outerUpdates = 0, lastPercent = -1;
    QObject* lastSender = nullptr;
    group.OnThreadUpdate = [&](QObject*, TBMExecuteThread*, void*&, int percent) {
        ++threadUpdates;
        lastPercent = percent;
    };
    group.OnUpdate = [&](QObject* sender, TBMExecuteThread*, void*&, int) {
        ++updates;
        lastSender = sender;
    };
    outer.OnThreadUpdate = [&](QObject*, TBMExecuteThread*, void*&, int) { ++outerUpdates; };
    outer.OnUpdate = [&](QObject*, TBMExecuteThread*, void*&, int) { ++outerUpdates; };

    high.Start();
    low.Start();
    ASSERT_TRUE(PumpUntil([&] { return threadUpdates >= 3 && lastPercent == 64; }));
    EXPECT_EQ(updates, 0);

    high.StopAndWait();
    ASSERT_TRUE(PumpUntil([&] { return updates >= 1; }));
    EXPECT_EQ(lastSender, &low);
    low.StopAndWait();
    EXPECT_EQ(outerUpdates, 0);
}

// Whether the group joins its enclosing group before or after its members
// do decides whether the enclosing group's threads list holds them; either
// way nothing of the destroyed group may stay behind there.
TEST(TBMThreadGroupTest, DestroyedGroupDetachesItsMembers) {
    const struct {
        const char* name;
        bool joinsOuterFirst;
        int outerThreads;  // before the group is destroyed
    } cases[] = {
        {"group joins before its members", true, 0},
        {"group joins after its members", false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBMThreadGroup outer;
        auto group = std::make_unique<TBMThreadGroup>();
        if (c.joinsOuterFirst)
            group->SetThreadGroup(&outer);
        Worker running("running"), idle("idle");
        running.SetThreadGroup(group.get());
        idle.SetThreadGroup(group.get());
        running.Start();
        if (!c.joinsOuterFirst)
            group->SetThreadGroup(&outer);
        int groupEnds = 0, outerEnds = 0;
        group->OnThreadTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++groupEnds; };
        outer.OnThreadTerminate = [&](QObject*, TBMExecuteThread*, void*&) { ++outerEnds; };
        ASSERT_EQ(outer.GetCountRuning(), 1);
        ASSERT_EQ(outer.GetThreadsCount(), c.outerThreads);

        group.reset();
        EXPECT_EQ(running.GetThreadGroup(), nullptr);
        EXPECT_EQ(idle.GetThreadGroup(), nullptr);
        EXPECT_EQ(groupEnds, 1);
        EXPECT_EQ(outerEnds, 1);
        EXPECT_EQ(outer.GetThreadItemsCount(), 0);
        EXPECT_EQ(outer.GetThreadsCount(), 0);
        EXPECT_EQ(outer.GetCountRuning(), 0);

        // The member's end no longer goes to the destroyed group.
        running.StopAndWait();
        EXPECT_EQ(outerEnds, 1);
    }
}

}  // namespace
