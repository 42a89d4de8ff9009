#include "thread/TBMThreadGroup.h"

#include <algorithm>

namespace {

template <class T>
void Erase(std::vector<T*>& list, const T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

TBMThreadGroup::TBMThreadGroup(QObject* owner) : TBMThreadBase(owner) {}

TBMThreadGroup::~TBMThreadGroup() {
    // Leave the enclosing group first: it takes this group's threads out of
    // its own list by walking threads_, which the detaches below empty. A
    // running member's end then reaches the enclosing group once, through
    // this group's report on leaving it.
    SetThreadGroup(nullptr);
    // Each detach takes the member out of items_ and threads_.
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->SetThreadGroup(nullptr);
    items_.clear();
    threads_.clear();
}

// The operations walk a copy: a handler they fire may change the membership.
void TBMThreadGroup::Start() {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->Start();
}

void TBMThreadGroup::Start(void* Data) {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->Start(Data);
}

void TBMThreadGroup::Stop() {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->Stop();
}

void TBMThreadGroup::Suspend() {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->Suspend();
}

void TBMThreadGroup::Resume() {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->Resume();
}

int TBMThreadGroup::GetCountRuning() const {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return runningCount_;
}

void TBMThreadGroup::AddMember(TBMThreadBase* member) {
    if (member->GetRuning())
        member->ReportStarted(this);
    std::lock_guard<std::recursive_mutex> hold(lock_);
    items_.push_back(member);
    member->ForEachThread([this](TBMThread* thread) { threads_.push_back(thread); });
}

void TBMThreadGroup::RemoveMember(TBMThreadBase* member) {
    if (member->GetRuning())
        member->ReportTerminated(this);
    std::lock_guard<std::recursive_mutex> hold(lock_);
    Erase(items_, member);
    member->ForEachThread([this](TBMThread* thread) { Erase(threads_, thread); });
}

void TBMThreadGroup::ThreadStarted(QObject* Sender, TBMExecuteThread* Thread, void*& Data) {
    int before;
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        before = runningCount_++;
        if (OnThreadStart)
            OnThreadStart(Sender, Thread, Data);
    }
    if (GetThreadGroup())
        GetThreadGroup()->ThreadStarted(Sender, Thread, Data);
    if (before == 0 && OnStart)
        OnStart(Sender, Thread, Data);
}

void TBMThreadGroup::ThreadTerminated(QObject* Sender, TBMExecuteThread* Thread, void*& Data) {
    int now;
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        if (runningCount_ > 0)
            --runningCount_;
        now = runningCount_;
    }
    if (OnThreadTerminate)
        OnThreadTerminate(Sender, Thread, Data);
    if (GetThreadGroup())
        GetThreadGroup()->ThreadTerminated(Sender, Thread, Data);
    if (now == 0 && OnTerminate)
        OnTerminate(Sender, Thread, Data);
}

void TBMThreadGroup::ThreadTerminatedSilently() {
    {
        std::lock_guard<std::recursive_mutex> hold(lock_);
        if (runningCount_ > 0)
            --runningCount_;
    }
    if (GetThreadGroup())
        GetThreadGroup()->ThreadTerminatedSilently();
}

void TBMThreadGroup::ThreadUpdate(QObject* Sender, TBMExecuteThread* Thread, void*& Data, int UpdatePriority,
                                  int Percent) {
    if (OnThreadUpdate)
        OnThreadUpdate(Sender, Thread, Data, Percent);
    if (!OnUpdate)
        return;
    for (const TBMThreadBase* member : items_)
        if (member->GetRuning() && member->UpdatePriority > UpdatePriority)
            return;
    OnUpdate(Sender, Thread, Data, Percent);
}

void TBMThreadGroup::ReportStarted(TBMThreadGroup* group) {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->ReportStarted(group);
}

void TBMThreadGroup::ReportTerminated(TBMThreadGroup* group) {
    const std::vector<TBMThreadBase*> members = items_;
    for (TBMThreadBase* member : members)
        member->ReportTerminated(group);
}

void TBMThreadGroup::AddMe(TBMThreadGroup* group) {
    group->AddMember(this);
}

void TBMThreadGroup::RemoveMe(TBMThreadGroup* group) {
    group->RemoveMember(this);
}

void TBMThreadGroup::ForEachThread(const std::function<void(TBMThread*)>& visit) {
    for (TBMThread* thread : threads_)
        visit(thread);
}
