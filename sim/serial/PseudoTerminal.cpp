#include "sim/serial/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void Fail(const char* call) {
    throw std::system_error(errno, std::generic_category(), call);
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!master)
        Fail("posix_openpt");
    if (grantpt(master.Get()) != 0)
        Fail("grantpt");
    if (unlockpt(master.Get()) != 0)
        Fail("unlockpt");
    std::array<char, 128> name{};
    if (const int error = ptsname_r(master.Get(), name.data(), name.size()); error != 0) {
        errno = error;
        Fail("ptsname_r");
    }
    UniqueFd slave(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave)
        Fail("open of the pseudo-terminal's slave");

    // Raw: otherwise the line discipline echoes every answer the simulator
    // writes back to it as input, and turns bytes such as 0x0D and 0x03 into
    // line editing and signals.
    termios settings{};
    if (tcgetattr(slave.Get(), &settings) != 0)
        Fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(slave.Get(), TCSANOW, &settings) != 0)
        Fail("tcsetattr");

    master_ = std::move(master);
    slave_ = std::move(slave);
    slavePath_ = name.data();
}
