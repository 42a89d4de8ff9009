#include "support/SimulatedSerialMeter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr auto Wait = 10s;

// The first line the child writes, or nothing within the wait.
std::string ReadLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + Wait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= 0ms)
            return {};
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
}

}  // namespace

SimulatedSerialMeter::SimulatedSerialMeter(const std::string& program, const Settings& settings,
                                           const std::string& link) {
    // Everything the child needs is made before the fork: it only execs.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "VELSIM_", 7) != 0)
            environment.emplace_back(*entry);
    for (const auto& [name, value] : settings)
        environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments = {program};
    if (!link.empty())
        arguments.insert(arguments.end(), {"--link", link});
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("SimulatedSerialMeter: no pipe");
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(out[1], STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        throw std::runtime_error("SimulatedSerialMeter: cannot start " + program);
    }
    portPath_ = ReadLine(out[0]);
    ::close(out[0]);
    if (portPath_.empty()) {
        Stop(SIGKILL);
        throw std::runtime_error("SimulatedSerialMeter: " + program + " gave no port path");
    }
}

SimulatedSerialMeter::~SimulatedSerialMeter() {
    Stop();
}

int SimulatedSerialMeter::Stop(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
        const auto deadline = std::chrono::steady_clock::now() + Wait;
        while (::waitpid(pid_, &status_, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status_, 0);
                status_ = -1;
                break;
            }
            std::this_thread::sleep_for(1ms);
        }
        pid_ = -1;
    }
    return status_ != -1 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}
