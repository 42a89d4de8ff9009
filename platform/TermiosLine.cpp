// The line settings of a serial device through the kernel's termios2, which
// carries any rate in bits per second (BOTHER) besides the fixed Bxxx codes,
// and changes every setting in one call. Its header defines a struct termios
// of its own, so it cannot share a translation unit with <termios.h>;
// TermiosCommApi.cpp declares these functions.

#include "platform/CommApi.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace TermiosLine {

namespace {

struct StandardRate {
    std::uint32_t baud;
    tcflag_t code;
};

constexpr std::array<StandardRate, 30> StandardRates = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
}};

// The Bxxx code of a rate, so that programs reading the old termios see it
// too; BOTHER for a rate that has none.
tcflag_t SpeedCode(std::uint32_t baud) {
    for (const StandardRate& rate : StandardRates)
        if (rate.baud == baud)
            return rate.code;
    return BOTHER;
}

bool Get(int fd, termios2& line) {
    return ioctl(fd, TCGETS2, &line) == 0;
}

bool Put(int fd, const termios2& line) {
    return ioctl(fd, TCSETS2, &line) == 0;
}

}  // namespace

// The raw line the serial component expects: no echo, no line editing, no
// character translation or stripping, no signals, 8 data bits, modem control
// lines ignored, and reads that never wait in the driver (VMIN 0, VTIME 0:
// every wait is a poll()). False with errno; ENOTTY for a file without a line.
bool MakeRaw(int fd) {
    termios2 line{};
    if (!Get(fd, line))
        return false;
    line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~(CSIZE | PARENB);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    return Put(fd, line);
}

// Fills the DCB fields the line keeps, as the driver has them, and leaves the
// others. False with errno.
bool Read(int fd, DCB& dcb) {
    termios2 line{};
    if (!Get(fd, line))
        return false;
    // The kernel fills in c_ospeed for a Bxxx code too, and a driver that
    // cannot make the rate asked for puts the one it makes there.
    dcb.BaudRate = line.c_ospeed;
    dcb.fBinary = true;
    switch (line.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
    }
    if (!(line.c_cflag & PARENB))
        dcb.Parity = 0;
    else if (line.c_cflag & CMSPAR)
        dcb.Parity = (line.c_cflag & PARODD) ? 3 : 4;
    else
        dcb.Parity = (line.c_cflag & PARODD) ? 1 : 2;
    // With five data bits the hardware sends CSTOPB as one and a half.
    if (!(line.c_cflag & CSTOPB))
        dcb.StopBits = 0;
    else
        dcb.StopBits = dcb.ByteSize == 5 ? 1 : 2;
    dcb.fParity = line.c_iflag & INPCK;
    dcb.fOutxCtsFlow = line.c_cflag & CRTSCTS;
    dcb.fRtsControl = dcb.fOutxCtsFlow ? 2 : 1;
    dcb.fDtrControl = 1;
    dcb.fOutX = line.c_iflag & IXON;
    dcb.fInX = line.c_iflag & IXOFF;
    dcb.XonChar = static_cast<char>(line.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(line.c_cc[VSTOP]);
    return true;
}

// Sets the line from the DCB fields it keeps, all in one call. EINVAL, with
// nothing changed, for a rate of 0, data bits outside 5..8, an unknown parity
// or stop bits, and one and a half stop bits with more than five data bits.
// A driver may still make less of it: a pseudo-terminal keeps 8 data bits
// without parity whatever it is given, a UART the nearest rate it can.
bool Write(int fd, const DCB& dcb) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 || dcb.StopBits > 2 ||
        (dcb.StopBits == 1 && dcb.ByteSize != 5)) {
        errno = EINVAL;
        return false;
    }
    termios2 line{};
    if (!Get(fd, line))
        return false;
    static constexpr tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
    static constexpr tcflag_t Parities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
    // No input rate of its own (CIBAUD 0): input follows the output, and a
    // custom input rate set earlier does not linger.
    line.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.c_cflag |= SpeedCode(dcb.BaudRate) | Sizes[dcb.ByteSize - 5] | Parities[dcb.Parity];
    line.c_ispeed = dcb.BaudRate;
    line.c_ospeed = dcb.BaudRate;
    if (dcb.StopBits != 0)
        line.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == 2)
        line.c_cflag |= CRTSCTS;
    line.c_iflag &= ~(INPCK | IXON | IXOFF);
    if (dcb.fParity)
        line.c_iflag |= INPCK;
    if (dcb.fOutX)
        line.c_iflag |= IXON;
    if (dcb.fInX)
        line.c_iflag |= IXOFF;
    line.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    line.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    return Put(fd, line);
}

}  // namespace TermiosLine
