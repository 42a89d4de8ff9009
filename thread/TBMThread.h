#pragma once

#include <QObject>

// Runs a handler on a background thread of its own and reports the thread's
// start and end on the user-interface thread.
// Not built yet: Start, Stop and GetRuning are placeholders so that start-up
// and shut-down keep their call sites; no thread is made.
class TBMThread : public QObject {
public:
    explicit TBMThread(QObject* owner = nullptr) : QObject(owner) {}

    void Start() { Start(nullptr); }
    void Start(void* /*data*/) {}
    void Stop() {}
    bool GetRuning() const { return false; }
};
