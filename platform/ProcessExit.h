#pragma once

// Ends the process. The program's commands end it directly, without returning
// to the message loop; tests put a recorder in its place.
class ProcessExit {
public:
    virtual ~ProcessExit() = default;
    // The real one does not return.
    virtual void Exit(int code) = 0;
};

class RealProcessExit final : public ProcessExit {
public:
    [[noreturn]] void Exit(int code) override;
};
