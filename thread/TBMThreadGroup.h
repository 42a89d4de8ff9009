#pragma once

#include "thread/TBMThreadBase.h"

#include <vector>

class TBMThread;

// Gathers worker components and further groups to start, stop and count them
// together. Members join and leave through their own SetThreadGroup; the group
// owns none of them. Every member is for the UI thread, except GetCountRuning,
// which may be read anywhere.
//
// The group is running while its running count is above 0. Each start of a
// member's thread (members of member groups included) counts one up and fires
// OnThreadStart, the first one also OnStart; each end counts one down and
// fires OnThreadTerminate, the last one also OnTerminate. Start and end
// reports pass on to the enclosing group; updates do not.
class TBMThreadGroup : public TBMThreadBase {
    Q_OBJECT

public:
    explicit TBMThreadGroup(QObject* owner = nullptr);
    // Leaves the enclosing group (a running group reports its members' ends
    // there), then detaches every direct member (a running one reports its
    // end here first).
    ~TBMThreadGroup() override;

    // Sender is the member whose thread the event concerns.
    TBMThreadUpdateEvent OnThreadUpdate;
    TBMThreadNotifyEvent OnThreadStart;
    TBMThreadNotifyEvent OnThreadTerminate;

    // The same operation on each direct member, in the order they joined.
    void Start() override;
    void Start(void* Data) override;
    void Stop() override;
    void Suspend() override;
    void Resume() override;

    bool GetRuning() const override { return GetCountRuning() > 0; }
    int GetCountRuning() const;

    // Direct members (components and groups), in the order they joined.
    int GetThreadItemsCount() const { return static_cast<int>(items_.size()); }
    TBMThreadBase* GetThreadItems(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    // All components, those of member groups included. A joining group's
    // components are taken over as they are then; later joins inside that
    // group do not show here.
    int GetThreadsCount() const { return static_cast<int>(threads_.size()); }
    TBMThread* GetThreads(int i) const { return threads_.at(static_cast<std::size_t>(i)); }

    // Membership changes of a component or a group. Reached through the
    // member's SetThreadGroup, which also records the group at the member; do
    // not call them directly. A running member first reports its start (its
    // end) here; a group brings its threads list along and takes it away.
    void AddMember(TBMThreadBase* member);
    void RemoveMember(TBMThreadBase* member);

    // Reports from members (and member groups) about one execution thread.
    void ThreadStarted(QObject* Sender, TBMExecuteThread* Thread, void*& Data);
    void ThreadTerminated(QObject* Sender, TBMExecuteThread* Thread, void*& Data);
    // A running member was destroyed: its end is reported to nobody, but the
    // count it added is taken back here and in the enclosing groups, as its
    // start was counted. Fires no event.
    void ThreadTerminatedSilently();
    // Fires OnThreadUpdate, then OnUpdate unless a running direct member has
    // an UpdatePriority above the reporting member's.
    void ThreadUpdate(QObject* Sender, TBMExecuteThread* Thread, void*& Data, int UpdatePriority, int Percent);

protected:
    void ReportStarted(TBMThreadGroup* group) override;
    void ReportTerminated(TBMThreadGroup* group) override;
    void AddMe(TBMThreadGroup* group) override;
    void RemoveMe(TBMThreadGroup* group) override;
    void ForEachThread(const std::function<void(TBMThread*)>& visit) override;

private:
    std::vector<TBMThreadBase*> items_;
    std::vector<TBMThread*> threads_;  // opaque here: only stored and compared
    int runningCount_ = 0;
};
