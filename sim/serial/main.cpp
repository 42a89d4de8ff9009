// velsim-serial: a simulated density meter on a pseudo-terminal. It prints the
// terminal's path, optionally links it where a program looks for a COM port,
// and serves the serial protocol from the meter model until SIGTERM or SIGINT.

#include "sim/SimulatorSettings.h"
#include "sim/serial/PortLink.h"
#include "sim/serial/PseudoTerminal.h"
#include "sim/serial/SerialMeterSession.h"
#include "sim/serial/UniqueFd.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

using Clock = SerialMeterSession::Clock;

constexpr int ExitFailure = 1;  // the system refused something (the pseudo-terminal)
constexpr int ExitUsage = 2;    // the command line, a setting or the link path cannot be used

// The read-out throws away what arrives within 5 ms of its command
// (CommandDiscardWindow); 10 ms clears that with room for the reading program
// being a little late, and keeps a read of a full archive short. The model's
// own default (20 ms) stays what the USB meter uses.
constexpr std::chrono::milliseconds DefaultSerialAnswerDelay{10};

constexpr const char* Usage =
    "Usage: velsim-serial [--link PATH]\n"
    "\n"
    "Plays a simulated density meter on a new pseudo-terminal until SIGTERM or\n"
    "SIGINT. Prints the terminal's path as one line on standard output.\n"
    "\n"
    "  --link PATH  also make PATH a symlink to the terminal, for a program that\n"
    "               looks for COM7 at DATAFOLDER/ports/com7; missing folders are\n"
    "               created, a symlink already there is replaced, anything else\n"
    "               refused; the link is removed at exit\n"
    "  --help       show this text\n"
    "\n"
    "The meter comes from the environment: VELSIM_ARCHIVE, VELSIM_RECORDS,\n"
    "VELSIM_COUNT, VELSIM_IDENT_CHARS, VELSIM_LATENCY (ms, default 10 here) and\n"
    "VELSIM_FAULTS (sim/SimulatorSettings.h); the USB meter's settings are\n"
    "ignored. Exit code 0 after a signal, 2 for a refused argument or setting.\n";

struct Arguments {
    std::optional<std::string> link;
    bool help = false;
};

// The arguments, or a message saying what is wrong with them.
std::optional<Arguments> ParseArguments(int argc, char** argv, std::string& error) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            args.help = true;
        } else if (arg == "--link") {
            if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
                error = "--link needs a path";
                return std::nullopt;
            }
            if (args.link) {
                error = "--link given twice";
                return std::nullopt;
            }
            args.link = argv[++i];
        } else {
            error = "unknown argument \"" + std::string(arg) + "\"";
            return std::nullopt;
        }
    }
    return args;
}

// The serial meter's settings from the environment; the USB meter's are never
// looked at, so not even a bad one of them stops the serial meter.
SettingsReading ReadSerialSettings() {
    SettingsReading reading = ReadSimulatorSettings([](const std::string& name) -> std::optional<std::string> {
        if (!IsSerialMeterSetting(name))
            return std::nullopt;
        if (const char* value = std::getenv(name.c_str()))
            return std::string(value);
        return std::nullopt;
    });
    if (!std::getenv("VELSIM_LATENCY"))
        reading.settings.meter.answerDelay = DefaultSerialAnswerDelay;
    return reading;
}

// A descriptor that becomes readable when SIGTERM or SIGINT arrives; both are
// blocked from here on, so they end the run through it and nowhere else.
UniqueFd StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    // A signal the starting process left ignored would be dropped before it
    // ever reached the descriptor.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    UniqueFd fd(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!fd)
        throw std::system_error(errno, std::generic_category(), "signalfd");
    return fd;
}

// How long ppoll may wait: until the next answer bytes are due, or for ever.
std::optional<timespec> WaitUntil(const std::optional<Clock::time_point>& due) {
    if (!due)
        return std::nullopt;
    const auto left = std::max(Clock::duration::zero(), *due - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

[[noreturn]] void Fail(const char* call) {
    throw std::system_error(errno, std::generic_category(), call);
}

// Reads commands from the master and writes the answers when they are due,
// until a stop signal arrives. Bytes due while the line cannot take them wait
// in order for it.
void Serve(SerialMeterSession& session, int master, int signals) {
    std::vector<std::uint8_t> unsent;
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        const short masterEvents = static_cast<short>(POLLIN | (unsent.empty() ? 0 : POLLOUT));
        std::array<pollfd, 2> fds{{{signals, POLLIN, 0}, {master, masterEvents, 0}}};
        const std::optional<timespec> wait = WaitUntil(session.NextDue());
        if (ppoll(fds.data(), fds.size(), wait ? &*wait : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            Fail("ppoll");
        }
        if (fds[0].revents & POLLIN)
            return;

        const short events = fds[1].revents;
        if (events & POLLIN) {
            const ssize_t got = ::read(master, buffer.data(), buffer.size());
            if (got > 0)
                session.Receive(std::span(buffer.data(), static_cast<std::size_t>(got)), Clock::now());
            else if (got < 0 && errno != EAGAIN && errno != EINTR)
                Fail("read from the pseudo-terminal");
        } else if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            // Cannot happen while the slave is held open; waiting on would spin.
            errno = EIO;
            Fail("poll of the pseudo-terminal");
        }

        const std::vector<std::uint8_t> due = session.TakeDue(Clock::now());
        unsent.insert(unsent.end(), due.begin(), due.end());
        if (!unsent.empty()) {
            const ssize_t put = ::write(master, unsent.data(), unsent.size());
            if (put > 0)
                unsent.erase(unsent.begin(), unsent.begin() + put);
            else if (put < 0 && errno != EAGAIN && errno != EINTR)
                Fail("write to the pseudo-terminal");
        }
    }
}

int Run(int argc, char** argv) {
    std::string error;
    const std::optional<Arguments> args = ParseArguments(argc, argv, error);
    if (!args) {
        std::fprintf(stderr, "velsim-serial: %s\n\n%s", error.c_str(), Usage);
        return ExitUsage;
    }
    if (args->help) {
        std::fputs(Usage, stdout);
        return 0;
    }

    SettingsReading reading = ReadSerialSettings();
    if (!reading.errors.empty()) {
        for (const SettingError& e : reading.errors)
            std::fprintf(stderr, "velsim-serial: %s\n", e.message.c_str());
        return ExitUsage;
    }

    // A reader of the path line that went away must not end the run.
    std::signal(SIGPIPE, SIG_IGN);
    // Before the link exists, so a stop signal always finds it to remove.
    const UniqueFd signals = StopSignals();
    const PseudoTerminal terminal;
    std::optional<PortLink> link;
    if (args->link) {
        try {
            link.emplace(*args->link, terminal.SlavePath());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "velsim-serial: %s\n", e.what());
            return ExitUsage;
        }
    }

    std::printf("%s\n", terminal.SlavePath().c_str());
    std::fflush(stdout);

    SerialMeterSession session(std::move(reading.settings.meter));
    Serve(session, terminal.Master(), signals.Get());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velsim-serial: %s\n", e.what());
        return ExitFailure;
    }
}
