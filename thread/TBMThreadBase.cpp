#include "thread/TBMThreadBase.h"

TBMThreadBase::TBMThreadBase(QObject* owner) : QObject(owner) {}

// The derived destructors leave the group: RemoveMe is theirs and no longer
// reachable from here.
TBMThreadBase::~TBMThreadBase() = default;

void TBMThreadBase::SetThreadGroup(TBMThreadGroup* group) {
    if (group == threadGroup_)
        return;
    if (threadGroup_)
        RemoveMe(threadGroup_);
    threadGroup_ = group;
    if (group)
        AddMe(group);
}
