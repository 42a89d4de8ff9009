#pragma once

#include <sys/types.h>

#include <csignal>
#include <map>
#include <string>

// The serial meter simulator (sim/serial/velsim-serial) running for a test:
// started by the constructor, stopped by SIGTERM and waited for by the
// destructor, so no simulator outlives the test, whatever the test's outcome;
// a test program that dies takes it along. Test programs built with
// vel_add_test(... SERIAL) pass VEL_SERIAL_SIMULATOR as the program.
//
// Started with fork and exec rather than QProcess: Qt starts processes in a
// way the thread sanitizer cannot follow, and it then loses track of the
// test thread's locks.
class SimulatedSerialMeter {
public:
    using Settings = std::map<std::string, std::string>;

    // Starts program with these VELSIM_ settings alone (any in the test's own
    // environment are left out) and, when link is not empty, --link link, then
    // waits up to 10 s for the pseudo-terminal's path. Throws
    // std::runtime_error when the path does not come; the simulator's messages
    // go to the test's stderr.
    SimulatedSerialMeter(const std::string& program, const Settings& settings = {}, const std::string& link = {});
    ~SimulatedSerialMeter();
    SimulatedSerialMeter(const SimulatedSerialMeter&) = delete;
    SimulatedSerialMeter& operator=(const SimulatedSerialMeter&) = delete;

    // The pseudo-terminal's slave: the port a program opens.
    const std::string& PortPath() const { return portPath_; }

    // Sends signal and waits up to 10 s for the simulator to end: its exit
    // code, or -1 when it did not end by exiting.
    int Stop(int signal = SIGTERM);

private:
    pid_t pid_ = -1;
    int status_ = 0;  // once it has ended
    std::string portPath_;
};
