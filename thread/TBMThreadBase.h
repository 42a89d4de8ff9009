#pragma once

#include <QObject>

#include <functional>
#include <mutex>

class TBMExecuteThread;
class TBMThread;
class TBMThreadGroup;

// Events of the thread components. Sender is the component that fires the
// event (for a group's member events: the member), Thread the execution thread
// concerned, Data a reference to that thread's Data, which the handler may
// replace. Percent is the execution thread's progress value.
using TBMThreadNotifyEvent = std::function<void(QObject* Sender, TBMExecuteThread* Thread, void*& Data)>;
using TBMThreadUpdateEvent =
    std::function<void(QObject* Sender, TBMExecuteThread* Thread, void*& Data, int Percent)>;

// What a worker component (TBMThread) and a group of them (TBMThreadGroup)
// have in common: start/stop/suspend/resume, the start, update and end events,
// and membership in an enclosing group.
//
// Everything here is for the UI thread, the thread the component was created
// on; the events fire there (see TBMThread and TBMThreadGroup for when).
//
// A group sees its members only as this class, so that the group needs
// nothing of the worker component but its name.
class TBMThreadBase : public QObject {
    Q_OBJECT

public:
    explicit TBMThreadBase(QObject* owner = nullptr);
    ~TBMThreadBase() override;

    TBMThreadUpdateEvent OnUpdate;
    TBMThreadNotifyEvent OnStart;
    TBMThreadNotifyEvent OnTerminate;

    // Rank of this member's updates within its group (TBMThreadGroup::ThreadUpdate).
    int UpdatePriority = 0;

    // The group this component belongs to; not owned. Setting another group
    // leaves the old one and joins the new one; a running member reports its
    // end to the group it leaves and its start to the group it joins.
    TBMThreadGroup* GetThreadGroup() const { return threadGroup_; }
    void SetThreadGroup(TBMThreadGroup* group);

    virtual bool GetRuning() const = 0;
    virtual void Start() = 0;
    virtual void Start(void* Data) = 0;
    virtual void Stop() = 0;
    virtual void Suspend() = 0;
    virtual void Resume() = 0;

protected:
    friend class TBMThreadGroup;

    // Reports this component's running thread(s) as started or ended to group.
    virtual void ReportStarted(TBMThreadGroup* group) = 0;
    virtual void ReportTerminated(TBMThreadGroup* group) = 0;
    // Joins or leaves group's lists (TBMThreadGroup::AddMember, RemoveMember).
    // Both kinds of member do the same; the calls sit in them because this
    // class stays below the group and does not know its declaration.
    virtual void AddMe(TBMThreadGroup* group) = 0;
    virtual void RemoveMe(TBMThreadGroup* group) = 0;
    // Calls visit for each worker component this member brings into a
    // group's threads list: a worker itself, a group every component in its
    // own threads list.
    virtual void ForEachThread(const std::function<void(TBMThread*)>& visit) = 0;

    // A worker component holds it while its OnStart, OnUpdate and OnTerminate
    // run; a group while its lists or running count change and while
    // OnThreadStart runs. Recursive: a handler may call back into the component.
    mutable std::recursive_mutex lock_;

private:
    TBMThreadGroup* threadGroup_ = nullptr;
};
