#include "platform/CommApi.h"

#include <QFile>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

// The line settings, in TermiosLine.cpp. False with errno; ENOTTY for a file
// without a line.
namespace TermiosLine {
bool MakeRaw(int fd);
bool Read(int fd, DCB& dcb);
bool Write(int fd, const DCB& dcb);
}  // namespace TermiosLine

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t MaxDword = std::numeric_limits<std::uint32_t>::max();

// How often a pending WaitCommEvent looks at what poll() cannot tell: the
// output queue running empty, modem lines, error counters, more bytes joining
// bytes that wait unread.
constexpr int WaitTick = 10;  // ms

thread_local std::uint32_t LastError = 0;

// The one place a failure's reason is kept, per calling thread like errno.
bool Fail(int error) {
    LastError = static_cast<std::uint32_t>(error);
    return false;
}

// A pseudo-terminal, and adapters without modem lines or error counters,
// answer those ioctls so.
bool Refused(int error) {
    return error == ENOTTY || error == EINVAL;
}

// The TIOCM_ bits of the modem lines; 0 for a device without them.
bool ReadModemBits(int fd, int& bits) {
    bits = 0;
    return ioctl(fd, TIOCMGET, &bits) == 0 || Refused(errno);
}

// A modem-line or break ioctl; a device without those lines takes it as done.
bool LineIoctl(int fd, unsigned long request, int bits = 0) {
    if (ioctl(fd, request, &bits) == 0 || Refused(errno))
        return true;
    return Fail(errno);
}

// Bytes in a queue (FIONREAD, TIOCOUTQ); 0 when the device keeps no count.
int QueueLength(int fd, unsigned long request) {
    int count = 0;
    return ioctl(fd, request, &count) == 0 ? count : 0;
}

// The driver's line error counters; none on a pseudo-terminal.
struct LineCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
};

std::optional<LineCounters> ReadCounters(int fd) {
    serial_icounter_struct counts{};
    if (ioctl(fd, TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    return LineCounters{counts.frame, counts.overrun, counts.parity, counts.brk, counts.buf_overrun};
}

// Milliseconds left until deadline for poll(), rounded up; -1 without one.
int Remaining(const std::optional<Clock::time_point>& deadline) {
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, std::numeric_limits<int>::max()));
}

// A transfer's deadline: constant + count × multiplier ms from now; none when
// both are 0.
std::optional<Clock::time_point> Deadline(std::uint32_t constant, std::uint32_t multiplier, std::uint32_t count) {
    if (constant == 0 && multiplier == 0)
        return std::nullopt;
    const auto limit = std::uint64_t{constant} + std::uint64_t{count} * multiplier;
    return Clock::now() + std::chrono::milliseconds(limit);
}

// Waits until fd is ready for events, or the deadline passes. False when the
// transfer is to stop there: at the deadline (error stays 0), when the wait
// fails, or when the device has hung up (EIO): a tty that hung up (the device
// unplugged, the far end of a pseudo-terminal closed) polls ready for good
// and moves nothing.
bool AwaitReady(int fd, short events, const std::optional<Clock::time_point>& deadline, int& error) {
    const int wait = Remaining(deadline);
    if (wait == 0)
        return false;
    pollfd ready{fd, events, 0};
    const int count = poll(&ready, 1, wait);
    if (count < 0 && errno != EINTR) {
        error = errno;
        return false;
    }
    if (count > 0 && (ready.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        error = EIO;
        return false;
    }
    return true;
}

// One open device. fd, wake and tty are set before the handle is published
// and never change after; the rest is shared between the event thread's
// wait and the other calls.
struct Port {
    int fd = -1;
    int wake = -1;  // eventfd, readable for good once the waits are cancelled
    bool tty = false;

    std::atomic<bool> cancelled{false};

    std::mutex mutex;  // guards what follows; never held while blocking
    DCB stored;        // the fields termios has no place for
    COMMTIMEOUTS timeouts;
    std::uint32_t mask = 0;
    int seenInput = 0;       // the input queue at the wait's last look, less what was read since
    bool written = false;    // written to since the output queue was last seen empty
    int modemBits = 0;       // at the wait's last look
    std::optional<LineCounters> waitCounters;   // at the wait's last look
    std::optional<LineCounters> clearCounters;  // at the last ClearCommError
    std::uint32_t done[2] = {};  // of the last read and write, for GetOverlappedResult

    // Closing gives the device back. The exclusive flag belongs to the tty,
    // not to this descriptor: it would outlive close() while any other
    // descriptor holds the tty open (a simulator's own end of a pseudo-
    // terminal), and every later open would fail with EBUSY.
    ~Port() {
        if (fd >= 0) {
            if (tty)
                ioctl(fd, TIOCNXCL);
            flock(fd, LOCK_UN);
            close(fd);
        }
        if (wake >= 0)
            close(wake);
    }

    void ReleaseWaits() {
        cancelled = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = write(wake, &one, sizeof one);
    }
};

class TermiosCommApi final : public CommApi {
public:
    explicit TermiosCommApi(CommDevicePath devicePath) : devicePath_(std::move(devicePath)) {}

    CommHandle CreateFile(const QString& name) override {
        const QString path = devicePath_ ? devicePath_(name) : name;
        auto port = std::make_shared<Port>();
        port->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (port->wake < 0)
            return Invalid(errno);
        port->fd = open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (port->fd < 0)
            return Invalid(errno);
        // The lock keeps out every other open through this API, root's too,
        // which TIOCEXCL lets in; TIOCEXCL keeps out other programs.
        if (flock(port->fd, LOCK_EX | LOCK_NB) != 0)
            return Invalid(errno == EWOULDBLOCK ? EBUSY : errno);
        if (ioctl(port->fd, TIOCEXCL) == 0) {
            port->tty = true;
            if (!TermiosLine::MakeRaw(port->fd))
                return Invalid(errno);
        } else if (errno != ENOTTY) {
            return Invalid(errno);  // a file that is no tty still opens; its line calls fail
        }
        ReadModemBits(port->fd, port->modemBits);
        port->waitCounters = port->clearCounters = ReadCounters(port->fd);

        std::lock_guard lock(mutex_);
        const CommHandle handle = nextHandle_++;
        ports_.emplace(handle, std::move(port));
        return handle;
    }

    bool IsCharacterDevice(CommHandle handle) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        struct stat info {};
        if (fstat(port->fd, &info) != 0)
            return Fail(errno);
        return S_ISCHR(info.st_mode);
    }

    bool CloseHandle(CommHandle handle) override {
        std::shared_ptr<Port> port;
        {
            std::lock_guard lock(mutex_);
            const auto found = ports_.find(handle);
            if (found == ports_.end())
                return Fail(EBADF);
            port = std::move(found->second);
            ports_.erase(found);
        }
        // A wait still pending ends now; the device closes when the last
        // call using it returns, here unless a wait was still running.
        port->ReleaseWaits();
        return true;
    }

    // Linux sizes the driver's queues itself.
    bool SetupComm(CommHandle handle, std::uint32_t, std::uint32_t) override {
        return Find(handle) != nullptr;
    }

    bool GetCommState(CommHandle handle, DCB& dcb) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        DCB result;
        {
            std::lock_guard lock(port->mutex);
            result = port->stored;
        }
        if (!TermiosLine::Read(port->fd, result))
            return Fail(errno);
        dcb = result;
        return true;
    }

    bool SetCommState(CommHandle handle, const DCB& dcb) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        if (!TermiosLine::Write(port->fd, dcb))
            return Fail(errno);
        std::lock_guard lock(port->mutex);
        port->stored = dcb;
        return true;
    }

    bool SetCommTimeouts(CommHandle handle, const COMMTIMEOUTS& timeouts) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        std::lock_guard lock(port->mutex);
        port->timeouts = timeouts;
        return true;
    }

    bool SetCommMask(CommHandle handle, std::uint32_t mask) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        std::lock_guard lock(port->mutex);
        port->mask = mask;
        return true;
    }

    bool WaitCommEvent(CommHandle handle, std::uint32_t& events) override {
        events = 0;
        const auto port = Find(handle);
        if (!port)
            return false;
        for (;;) {
            if (port->cancelled)
                return Fail(ECANCELED);
            std::uint32_t mask = 0;
            bool inputWaiting = false;
            {
                std::lock_guard lock(port->mutex);
                mask = port->mask;
                events = Look(*port, inputWaiting) & mask;
            }
            if (events != 0)
                return true;
            // poll() wakes on the first byte; while bytes wait unread, POLLIN
            // would hold and spin, and the tick sees any that join them.
            const short input = port->tty && !inputWaiting ? POLLIN : 0;
            pollfd fds[2] = {{port->wake, POLLIN, 0}, {port->fd, input, 0}};
            const int ready = mask != 0 ? poll(fds, 2, WaitTick) : poll(fds, 1, -1);
            if (ready < 0 && errno != EINTR)
                return Fail(errno);
            if (ready > 0 && !fds[0].revents && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)))
                return Fail(EIO);  // hung up or gone: fail rather than spin
        }
    }

    void CancelCommWait(CommHandle handle) override {
        if (const auto port = Find(handle))
            port->ReleaseWaits();
    }

    bool ReadFile(CommHandle handle, void* buffer, std::uint32_t count, std::uint32_t& done) override {
        done = 0;
        const auto port = Find(handle);
        if (!port)
            return false;
        COMMTIMEOUTS timeouts;
        {
            std::lock_guard lock(port->mutex);
            timeouts = port->timeouts;
        }
        const bool atOnce = timeouts.ReadIntervalTimeout == MaxDword && timeouts.ReadTotalTimeoutConstant == 0 &&
                            timeouts.ReadTotalTimeoutMultiplier == 0;
        const auto deadline =
            Deadline(timeouts.ReadTotalTimeoutConstant, timeouts.ReadTotalTimeoutMultiplier, count);
        auto* bytes = static_cast<char*>(buffer);
        int error = 0;
        while (done < count) {
            ssize_t got = 0;
            {
                // Under the lock, so that the wait's count of seen bytes and
                // the queue change together.
                std::lock_guard lock(port->mutex);
                got = read(port->fd, bytes + done, count - done);
                if (got > 0)
                    port->seenInput = static_cast<int>(std::max<ssize_t>(0, port->seenInput - got));
            }
            if (got > 0) {
                done += static_cast<std::uint32_t>(got);
                continue;
            }
            if (got < 0 && errno != EAGAIN && errno != EINTR) {
                error = errno;
                break;
            }
            // A raw tty (VMIN 0, VTIME 0) answers 0 while nothing is there; a
            // plain file means its end.
            if ((got == 0 && !port->tty) || atOnce)
                break;
            if (!AwaitReady(port->fd, POLLIN, deadline, error))
                break;
        }
        return Finish(*port, CommTransfer::Read, done, error);
    }

    bool WriteFile(CommHandle handle, const void* buffer, std::uint32_t count, std::uint32_t& done) override {
        done = 0;
        const auto port = Find(handle);
        if (!port)
            return false;
        COMMTIMEOUTS timeouts;
        {
            std::lock_guard lock(port->mutex);
            timeouts = port->timeouts;
        }
        const auto deadline =
            Deadline(timeouts.WriteTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier, count);
        const auto* bytes = static_cast<const char*>(buffer);
        int error = 0;
        while (done < count) {
            const ssize_t put = write(port->fd, bytes + done, count - done);
            if (put > 0) {
                done += static_cast<std::uint32_t>(put);
                std::lock_guard lock(port->mutex);
                port->written = true;
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR) {
                error = errno;
                break;
            }
            if (!AwaitReady(port->fd, POLLOUT, deadline, error))
                break;
        }
        return Finish(*port, CommTransfer::Write, done, error);
    }

    // Transfers complete inside ReadFile and WriteFile: this only repeats
    // what the last one moved.
    bool GetOverlappedResult(CommHandle handle, CommTransfer transfer, std::uint32_t& done, bool) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        std::lock_guard lock(port->mutex);
        done = port->done[static_cast<int>(transfer)];
        return true;
    }

    bool ClearCommError(CommHandle handle, std::uint32_t& errors, COMSTAT& stat) override {
        errors = 0;
        const auto port = Find(handle);
        if (!port)
            return false;
        int input = 0;
        if (ioctl(port->fd, FIONREAD, &input) != 0)
            return Fail(errno);
        stat = COMSTAT{};
        stat.cbInQue = static_cast<std::uint32_t>(input);
        stat.cbOutQue = static_cast<std::uint32_t>(QueueLength(port->fd, TIOCOUTQ));
        const auto counters = ReadCounters(port->fd);
        std::lock_guard lock(port->mutex);
        if (counters && port->clearCounters) {
            const LineCounters& before = *port->clearCounters;
            if (counters->frame != before.frame)
                errors |= CE_FRAME;
            if (counters->overrun != before.overrun)
                errors |= CE_OVERRUN;
            if (counters->parity != before.parity)
                errors |= CE_RXPARITY;
            if (counters->brk != before.brk)
                errors |= CE_BREAK;
            if (counters->bufOverrun != before.bufOverrun)
                errors |= CE_RXOVER;
        }
        port->clearCounters = counters;
        return true;
    }

    // Nothing to abort: no transfer outlives its call.
    bool PurgeComm(CommHandle handle, std::uint32_t flags) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        if (flags & PURGE_RXCLEAR) {
            std::lock_guard lock(port->mutex);
            if (tcflush(port->fd, TCIFLUSH) != 0)
                return Fail(errno);
            port->seenInput = 0;
        }
        if ((flags & PURGE_TXCLEAR) && tcflush(port->fd, TCOFLUSH) != 0)
            return Fail(errno);
        return true;
    }

    bool EscapeCommFunction(CommHandle handle, std::uint32_t function) override {
        const auto port = Find(handle);
        if (!port)
            return false;
        const int fd = port->fd;
        switch (function) {
        case SETRTS: return LineIoctl(fd, TIOCMBIS, TIOCM_RTS);
        case CLRRTS: return LineIoctl(fd, TIOCMBIC, TIOCM_RTS);
        case SETDTR: return LineIoctl(fd, TIOCMBIS, TIOCM_DTR);
        case CLRDTR: return LineIoctl(fd, TIOCMBIC, TIOCM_DTR);
        case SETBREAK: return LineIoctl(fd, TIOCSBRK);
        case CLRBREAK: return LineIoctl(fd, TIOCCBRK);
        // As if the device had sent XON or XOFF: output resumes or holds.
        case SETXON: return tcflow(fd, TCOON) == 0 || Fail(errno);
        case SETXOFF: return tcflow(fd, TCOOFF) == 0 || Fail(errno);
        default: return Fail(EINVAL);
        }
    }

    bool GetCommModemStatus(CommHandle handle, std::uint32_t& status) override {
        status = 0;
        const auto port = Find(handle);
        if (!port)
            return false;
        int bits = 0;
        if (!ReadModemBits(port->fd, bits))
            return Fail(errno);
        if (bits & TIOCM_CTS)
            status |= MS_CTS_ON;
        if (bits & TIOCM_DSR)
            status |= MS_DSR_ON;
        if (bits & TIOCM_RNG)
            status |= MS_RING_ON;
        if (bits & TIOCM_CD)
            status |= MS_RLSD_ON;
        return true;
    }

    std::uint32_t GetLastError() override { return LastError; }

private:
    CommHandle Invalid(int error) {
        Fail(error);
        return InvalidCommHandle;
    }

    std::shared_ptr<Port> Find(CommHandle handle) {
        std::lock_guard lock(mutex_);
        const auto found = ports_.find(handle);
        if (found == ports_.end()) {
            Fail(EBADF);
            return nullptr;
        }
        return found->second;
    }

    static bool Finish(Port& port, CommTransfer transfer, std::uint32_t done, int error) {
        {
            std::lock_guard lock(port.mutex);
            port.done[static_cast<int>(transfer)] = done;
        }
        return error == 0 || Fail(error);
    }

    // The events that happened since the previous look, every kind of them,
    // and whether bytes wait unread. Called with port.mutex held.
    static std::uint32_t Look(Port& port, bool& inputWaiting) {
        std::uint32_t events = 0;
        // An edge, not a level: new bytes, not bytes that still wait.
        const int input = QueueLength(port.fd, FIONREAD);
        if (input > port.seenInput)
            events |= EV_RXCHAR;
        port.seenInput = input;
        inputWaiting = input > 0;

        if (port.written && QueueLength(port.fd, TIOCOUTQ) == 0) {
            events |= EV_TXEMPTY;
            port.written = false;
        }

        int bits = 0;
        ReadModemBits(port.fd, bits);
        const int changed = bits ^ port.modemBits;
        port.modemBits = bits;
        if (changed & TIOCM_CTS)
            events |= EV_CTS;
        if (changed & TIOCM_DSR)
            events |= EV_DSR;
        if (changed & TIOCM_CD)
            events |= EV_RLSD;
        if (changed & TIOCM_RNG)
            events |= EV_RING;

        const auto counters = ReadCounters(port.fd);
        if (counters && port.waitCounters) {
            const LineCounters& before = *port.waitCounters;
            if (counters->frame != before.frame || counters->overrun != before.overrun ||
                counters->parity != before.parity)
                events |= EV_ERR;
            if (counters->brk != before.brk)
                events |= EV_BREAK;
        }
        port.waitCounters = counters;
        return events;
    }

    const CommDevicePath devicePath_;
    std::mutex mutex_;  // guards the map and the handle counter
    std::map<CommHandle, std::shared_ptr<Port>> ports_;
    CommHandle nextHandle_ = 1;
};

}  // namespace

std::unique_ptr<CommApi> MakeTermiosCommApi(CommDevicePath devicePath) {
    return std::make_unique<TermiosCommApi>(std::move(devicePath));
}
