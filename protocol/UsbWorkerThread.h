#pragma once

#include <cstdint>
#include <functional>

// What the USB worker needs of the thread it runs on: whether it is asked to
// end, pauses, and a way to have the window changed on the user-interface
// thread. The worker component provides the real one; tests drive the worker
// on their own thread with a fake.
class UsbWorkerThread {
public:
    // Set once the program asks the worker to end; never cleared.
    virtual bool Terminated() const = 0;
    // Pauses the worker; returns early once Terminated is set.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Runs call on the user-interface thread and returns when it has run
    // there; the calls run in the order they are made. Runs nothing once
    // Terminated is set.
    virtual void OnUiThread(const std::function<void()>& call) = 0;

protected:
    ~UsbWorkerThread() = default;
};
