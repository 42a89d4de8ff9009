#include "platform/CommApi.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

// The kernel's own termios2 reads back every line setting, a custom rate too;
// it cannot share a file with <termios.h>, so the pseudo-terminal comes from
// posix_openpt rather than openpty.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t MaxDword = 0xFFFFFFFF;

// What a call returned, as the thread that made it saw it.
struct Outcome {
    bool ok = false;
    std::uint32_t events = 0;
    std::uint32_t error = 0;  // GetLastError on that thread after a failure
    bool hung = false;        // did not end by itself within 10 s
};

// A wait on a thread of its own, as the serial component's event thread waits.
class PendingWait {
public:
    PendingWait(CommApi& api, CommHandle handle)
        : api_(api), handle_(handle), thread_([this] {
              outcome_.ok = api_.WaitCommEvent(handle_, outcome_.events);
              outcome_.error = outcome_.ok ? 0 : api_.GetLastError();
              returned_ = true;
          }) {}
    ~PendingWait() {
        if (thread_.joinable())
            Join();
    }

    bool Returned() const { return returned_; }

    // Lets the wait end. One still waiting after 10 s is cancelled, so that a
    // fault fails the test rather than hanging it.
    Outcome Join() {
        const auto end = Clock::now() + 10s;
        while (!returned_ && Clock::now() < end)
            std::this_thread::sleep_for(2ms);
        const bool hung = !returned_;
        if (hung)
            api_.CancelCommWait(handle_);
        thread_.join();
        outcome_.hung = hung;
        return outcome_;
    }

private:
    CommApi& api_;
    const CommHandle handle_;
    Outcome outcome_;
    std::atomic<bool> returned_{false};
    std::thread thread_;
};

// The tty of a pseudo-terminal stands in for the serial device: the test plays
// the device on the master side and, like a simulator, keeps a descriptor of
// its own on the tty, through which it reads the line settings back.
class TermiosCommApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        char name[128];
        ASSERT_EQ(ptsname_r(master_, name, sizeof name), 0);
        path_ = QString::fromLocal8Bit(name);
        tty_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(tty_, 0);
    }

    void TearDown() override {
        if (handle_ != InvalidCommHandle)
            api_->CloseHandle(handle_);
        if (tty_ >= 0)
            close(tty_);
        if (master_ >= 0)
            close(master_);
    }

    CommHandle Open() {
        handle_ = api_->CreateFile(path_);
        return handle_;
    }

    void Close() {
        ASSERT_TRUE(api_->CloseHandle(std::exchange(handle_, InvalidCommHandle)));
    }

    termios2 Line() const {
        termios2 line{};
        EXPECT_EQ(ioctl(tty_, TCGETS2, &line), 0);
        return line;
    }

    DCB State() {
        DCB dcb;
        EXPECT_TRUE(api_->GetCommState(handle_, dcb));
        return dcb;
    }

    void SetTimeouts(const COMMTIMEOUTS& timeouts) { ASSERT_TRUE(api_->SetCommTimeouts(handle_, timeouts)); }

    void DeviceSends(const std::string& bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // What the device has received, once count bytes are there or 10 s passed.
    std::string DeviceReceives(std::size_t count) const {
        std::string received;
        const auto end = Clock::now() + 10s;
        while (received.size() < count && Clock::now() < end) {
            pollfd fd{master_, POLLIN, 0};
            if (poll(&fd, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t got = read(master_, buffer, std::min(sizeof buffer, count - received.size()));
            if (got > 0)
                received.append(buffer, std::size_t(got));
        }
        return received;
    }

    // Waits until the tty's input queue holds count bytes: the pseudo-
    // terminal hands what the device sent over a moment later.
    void WaitForInput(int count) const {
        int waiting = -1;
        const auto end = Clock::now() + 10s;
        while (Clock::now() < end && ioctl(tty_, FIONREAD, &waiting) == 0 && waiting != count)
            std::this_thread::sleep_for(5ms);
        ASSERT_EQ(waiting, count);
    }

    std::string Read(std::uint32_t count) {
        std::string buffer(count, '\0');
        std::uint32_t done = 0;
        EXPECT_TRUE(api_->ReadFile(handle_, buffer.data(), count, done));
        buffer.resize(done);
        return buffer;
    }

    // A wait that must end by itself.
    Outcome Wait(CommHandle handle) {
        const Outcome outcome = PendingWait(*api_, handle).Join();
        EXPECT_FALSE(outcome.hung) << "the wait did not end";
        return outcome;
    }
    Outcome Wait() { return Wait(handle_); }

    std::uint32_t Write(const std::string& bytes) {
        std::uint32_t done = 0;
        EXPECT_TRUE(api_->WriteFile(handle_, bytes.data(), std::uint32_t(bytes.size()), done));
        return done;
    }

    std::unique_ptr<CommApi> api_ = MakeTermiosCommApi();
    int master_ = -1;
    int tty_ = -1;
    QString path_;
    CommHandle handle_ = InvalidCommHandle;
};

TEST_F(TermiosCommApiTest, OpenIsExclusiveUntilClosed) {
    ASSERT_NE(Open(), InvalidCommHandle);
    int exclusive = 0;
    ASSERT_EQ(ioctl(tty_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);  // other programs are kept out too

    EXPECT_EQ(api_->CreateFile(path_), InvalidCommHandle);
    EXPECT_EQ(api_->GetLastError(), std::uint32_t(EBUSY));
    const auto other = MakeTermiosCommApi();
    EXPECT_EQ(other->CreateFile(path_), InvalidCommHandle);
    EXPECT_EQ(other->GetLastError(), std::uint32_t(EBUSY));

    const CommHandle closed = handle_;
    Close();
    // The test's own descriptor keeps the tty open: the exclusive flag must
    // still go with the handle, or the next open fails.
    ASSERT_EQ(ioctl(tty_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    DCB dcb;
    EXPECT_FALSE(api_->GetCommState(closed, dcb));
    EXPECT_EQ(api_->GetLastError(), std::uint32_t(EBADF));
    EXPECT_NE(Open(), InvalidCommHandle);
}

TEST_F(TermiosCommApiTest, OpensTheDeviceTheNameStandsFor) {
    const auto api = MakeTermiosCommApi([this](const QString& name) {
        return name == QLatin1String("COM3") ? path_ : QStringLiteral("/nonexistent/ttyS3");
    });
    const CommHandle handle = api->CreateFile(QStringLiteral("COM3"));
    ASSERT_NE(handle, InvalidCommHandle);
    EXPECT_TRUE(api->IsCharacterDevice(handle));
    EXPECT_TRUE(api->CloseHandle(handle));

    EXPECT_EQ(api->CreateFile(QStringLiteral("COM4")), InvalidCommHandle);
    EXPECT_EQ(api->GetLastError(), std::uint32_t(ENOENT));
    EXPECT_EQ(api_->CreateFile(QStringLiteral("/nonexistent/ttyUSB0")), InvalidCommHandle);
    EXPECT_EQ(api_->GetLastError(), std::uint32_t(ENOENT));
}

TEST_F(TermiosCommApiTest, PlainFileOpensButHasNoLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("not-a-port"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    const CommHandle handle = api_->CreateFile(path);
    ASSERT_NE(handle, InvalidCommHandle);
    EXPECT_FALSE(api_->IsCharacterDevice(handle));
    DCB dcb;
    dcb.BaudRate = 9600;
    EXPECT_FALSE(api_->GetCommState(handle, dcb));
    EXPECT_EQ(api_->GetLastError(), std::uint32_t(ENOTTY));
    EXPECT_FALSE(api_->SetCommState(handle, dcb));
    EXPECT_EQ(api_->GetLastError(), std::uint32_t(ENOTTY));
    EXPECT_TRUE(api_->CloseHandle(handle));
}

TEST_F(TermiosCommApiTest, OpenPutsTheLineIntoRawMode) {
    ASSERT_NE(Open(), InvalidCommHandle);
    const termios2 line = Line();
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | BRKINT | PARMRK), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

TEST_F(TermiosCommApiTest, LineSettingsReachTheTty) {
    ASSERT_NE(Open(), InvalidCommHandle);
    struct Case {
        std::uint32_t baud;
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::uint8_t stopBits;
        tcflag_t speedCode;  // what the old termios shows
        tcflag_t frame;      // PARODD, CMSPAR, CSTOPB
    };
    // A pseudo-terminal keeps 8 data bits without parity (CSIZE, PARENB)
    // whatever it is given, but keeps the kind of parity and the stop bits.
    // In this order: a standard rate after a custom one must not keep its
    // input rate.
    const Case cases[] = {
        {115200, 8, 0, 0, B115200, 0},
        {12800, 8, 2, 0, BOTHER, 0},  // even
        {9600, 7, 1, 2, B9600, PARODD | CSTOPB},
        {56000, 6, 3, 0, BOTHER, CMSPAR | PARODD},  // mark
        {128000, 8, 4, 2, BOTHER, CMSPAR | CSTOPB}, // space
        {256000, 5, 0, 1, BOTHER, CSTOPB},          // one and a half
        {1200, 8, 0, 0, B1200, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        DCB dcb = State();
        dcb.BaudRate = c.baud;
        dcb.ByteSize = c.byteSize;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stopBits;
        ASSERT_TRUE(api_->SetCommState(handle_, dcb)) << api_->GetLastError();

        const termios2 line = Line();
        EXPECT_EQ(line.c_ospeed, c.baud);
        EXPECT_EQ(line.c_ispeed, c.baud);
        EXPECT_EQ(line.c_cflag & CBAUD, c.speedCode);
        EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR | CSTOPB), c.frame);
        EXPECT_EQ(State().BaudRate, c.baud);
    }
}

TEST_F(TermiosCommApiTest, InvalidLineSettingsAreRefusedAndChangeNothing) {
    ASSERT_NE(Open(), InvalidCommHandle);
    const DCB before = State();
    const termios2 lineBefore = Line();
    struct Case {
        const char* what;
        std::function<void(DCB&)> spoil;
    };
    const Case cases[] = {
        {"no rate", [](DCB& d) { d.BaudRate = 0; }},
        {"4 data bits", [](DCB& d) { d.ByteSize = 4; }},
        {"9 data bits", [](DCB& d) { d.ByteSize = 9; }},
        {"parity 5", [](DCB& d) { d.Parity = 5; }},
        {"stop bits 3", [](DCB& d) { d.StopBits = 3; }},
        {"one and a half stop bits with 8 data bits", [](DCB& d) { d.StopBits = 1; }},
        {"one and a half stop bits with 6 data bits",
         [](DCB& d) {
             d.StopBits = 1;
             d.ByteSize = 6;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Valid changes beside the wrong one, which must not be made either.
        DCB dcb = before;
        dcb.BaudRate = 57600;
        dcb.fOutX = true;
        dcb.ErrorChar = '?';
        c.spoil(dcb);
        EXPECT_FALSE(api_->SetCommState(handle_, dcb));
        EXPECT_EQ(api_->GetLastError(), std::uint32_t(EINVAL));
        const termios2 line = Line();
        EXPECT_EQ(line.c_cflag, lineBefore.c_cflag);
        EXPECT_EQ(line.c_iflag, lineBefore.c_iflag);
        EXPECT_EQ(line.c_ospeed, lineBefore.c_ospeed);
        EXPECT_EQ(State(), before);
    }
}

TEST_F(TermiosCommApiTest, FlowControlIsReadFromTheTtyAndWrittenBack) {
    ASSERT_NE(Open(), InvalidCommHandle);
    DCB dcb = State();
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_EQ(dcb.fRtsControl, 1);
    EXPECT_EQ(dcb.fDtrControl, 1);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);

    dcb.fOutxCtsFlow = true;
    dcb.fRtsControl = 2;
    dcb.fOutX = true;
    dcb.fInX = true;
    dcb.fParity = true;
    dcb.XonChar = 'A';
    dcb.XoffChar = 'B';
    ASSERT_TRUE(api_->SetCommState(handle_, dcb));
    termios2 line = Line();
    EXPECT_TRUE(line.c_cflag & CRTSCTS);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));
    EXPECT_EQ(line.c_cc[VSTART], 'A');
    EXPECT_EQ(line.c_cc[VSTOP], 'B');
    EXPECT_EQ(State(), dcb);

    // Flow control someone else set on the line (stty) survives a read,
    // change and write back of the settings.
    line.c_cflag &= ~CRTSCTS;
    line.c_iflag &= ~(IXON | INPCK);
    ASSERT_EQ(ioctl(tty_, TCSETS2, &line), 0);
    dcb = State();
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_EQ(dcb.fRtsControl, 1);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_TRUE(dcb.fInX);
    EXPECT_FALSE(dcb.fParity);
    dcb.BaudRate = 19200;
    ASSERT_TRUE(api_->SetCommState(handle_, dcb));
    line = Line();
    EXPECT_EQ(line.c_ospeed, 19200u);
    EXPECT_FALSE(line.c_cflag & CRTSCTS);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXOFF));
}

TEST_F(TermiosCommApiTest, FieldsTermiosHasNoPlaceForAreKept) {
    ASSERT_NE(Open(), InvalidCommHandle);
    DCB dcb = State();
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '\n';
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.fNull = true;
    dcb.fErrorChar = true;
    dcb.fDsrSensitivity = true;
    dcb.fTXContinueOnXoff = true;
    dcb.fAbortOnError = true;
    dcb.fOutxDsrFlow = true;
    ASSERT_TRUE(api_->SetCommState(handle_, dcb));
    EXPECT_EQ(State(), dcb);
}

TEST_F(TermiosCommApiTest, ReadReturnsAsSoonAsTheBytesAreThere) {
    ASSERT_NE(Open(), InvalidCommHandle);
    SetTimeouts({.ReadIntervalTimeout = MaxDword, .ReadTotalTimeoutConstant = 30000});
    // Bytes a cooked line would change or swallow.
    const std::string sent("\r\n\x03\x11\x13\x7f\xff\0", 8);
    DeviceSends(sent);
    const auto start = Clock::now();
    EXPECT_EQ(Read(8), sent);
    EXPECT_LT(Clock::now() - start, 20s);
    std::uint32_t done = 0;
    EXPECT_TRUE(api_->GetOverlappedResult(handle_, CommTransfer::Read, done, false));
    EXPECT_EQ(done, 8u);
}

TEST_F(TermiosCommApiTest, ReadWithATimeLimitReturnsWhatCame) {
    ASSERT_NE(Open(), InvalidCommHandle);
    // 200 + 8 × 25 = 400 ms for 8 bytes.
    SetTimeouts({.ReadIntervalTimeout = MaxDword, .ReadTotalTimeoutMultiplier = 25, .ReadTotalTimeoutConstant = 200});
    DeviceSends("abc");
    const auto start = Clock::now();
    EXPECT_EQ(Read(8), "abc");
    EXPECT_GE(Clock::now() - start, 350ms);
    std::uint32_t done = 99;
    EXPECT_TRUE(api_->GetOverlappedResult(handle_, CommTransfer::Read, done, true));
    EXPECT_EQ(done, 3u);
}

TEST_F(TermiosCommApiTest, ReadWithoutALimitWaitsForEveryByte) {
    ASSERT_NE(Open(), InvalidCommHandle);
    SetTimeouts({});
    std::thread device([this] {
        DeviceSends("wx");
        std::this_thread::sleep_for(100ms);
        DeviceSends("yz");
    });
    EXPECT_EQ(Read(4), "wxyz");
    device.join();
}

TEST_F(TermiosCommApiTest, ReadsThatReturnAtOnce) {
    ASSERT_NE(Open(), InvalidCommHandle);
    struct Case {
        const char* what;
        COMMTIMEOUTS timeouts;
        std::string waiting;
        std::uint32_t count;
        std::string expected;
    };
    const COMMTIMEOUTS atOnce{.ReadIntervalTimeout = MaxDword};
    const Case cases[] = {
        {"what waits", atOnce, "ab", 8, "ab"},
        {"nothing waits", atOnce, "", 8, ""},
        {"no bytes asked for, without a limit", {}, "cd", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetTimeouts(c.timeouts);
        DeviceSends(c.waiting);
        WaitForInput(int(c.waiting.size()));
        EXPECT_EQ(Read(c.count), c.expected);
        ASSERT_TRUE(api_->PurgeComm(handle_, PURGE_RXCLEAR));
    }
}

TEST_F(TermiosCommApiTest, WriteReachesTheDeviceUnchanged) {
    ASSERT_NE(Open(), InvalidCommHandle);
    const std::string bytes("\n\r\0\x11\x13\xff", 6);
    EXPECT_EQ(Write(bytes), 6u);
    EXPECT_EQ(DeviceReceives(6), bytes);
    std::uint32_t done = 0;
    EXPECT_TRUE(api_->GetOverlappedResult(handle_, CommTransfer::Write, done, false));
    EXPECT_EQ(done, 6u);
}

TEST_F(TermiosCommApiTest, WriteWithATimeLimitStopsShortWhenTheDeviceTakesNoMore) {
    ASSERT_NE(Open(), InvalidCommHandle);
    SetTimeouts({.WriteTotalTimeoutConstant = 200});
    const std::string bytes(4 << 20, 'x');  // far more than the pseudo-terminal holds unread
    const auto start = Clock::now();
    const std::uint32_t done = Write(bytes);
    EXPECT_GT(done, 0u);
    EXPECT_LT(done, bytes.size());
    EXPECT_GE(Clock::now() - start, 150ms);
}

TEST_F(TermiosCommApiTest, XoffHoldsOutputUntilXon) {
    ASSERT_NE(Open(), InvalidCommHandle);
    SetTimeouts({.WriteTotalTimeoutConstant = 200});
    ASSERT_TRUE(api_->EscapeCommFunction(handle_, SETXOFF));
    EXPECT_EQ(Write("a"), 0u);
    ASSERT_TRUE(api_->EscapeCommFunction(handle_, SETXON));
    EXPECT_EQ(Write("b"), 1u);
    EXPECT_EQ(DeviceReceives(1), "b");
}

TEST_F(TermiosCommApiTest, QueueCountsAndPurge) {
    ASSERT_NE(Open(), InvalidCommHandle);
    DeviceSends("12345");
    WaitForInput(5);
    std::uint32_t errors = 99;
    COMSTAT stat;
    ASSERT_TRUE(api_->ClearCommError(handle_, errors, stat));
    EXPECT_EQ(errors, 0u);  // a pseudo-terminal keeps no error counters
    EXPECT_EQ(stat.cbInQue, 5u);
    EXPECT_EQ(stat.cbOutQue, 0u);

    ASSERT_TRUE(api_->PurgeComm(handle_, PURGE_RXCLEAR));
    ASSERT_TRUE(api_->ClearCommError(handle_, errors, stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    SetTimeouts({.ReadIntervalTimeout = MaxDword});
    EXPECT_EQ(Read(5), "");
    EXPECT_TRUE(api_->PurgeComm(handle_, PURGE_TXCLEAR | PURGE_TXABORT | PURGE_RXABORT));
}

TEST_F(TermiosCommApiTest, ModemLinesOfAPseudoTerminalReadAsOffAndEscapesSucceed) {
    ASSERT_NE(Open(), InvalidCommHandle);
    std::uint32_t status = 99;
    EXPECT_TRUE(api_->GetCommModemStatus(handle_, status));
    EXPECT_EQ(status, 0u);
    for (const std::uint32_t code : {SETRTS, CLRRTS, SETDTR, CLRDTR, SETBREAK, CLRBREAK, SETXOFF, SETXON})
        EXPECT_TRUE(api_->EscapeCommFunction(handle_, code)) << code << ": " << api_->GetLastError();
    for (const std::uint32_t code : {0u, 7u, 10u}) {
        EXPECT_FALSE(api_->EscapeCommFunction(handle_, code)) << code;
        EXPECT_EQ(api_->GetLastError(), std::uint32_t(EINVAL));
    }
}

TEST_F(TermiosCommApiTest, WaitReportsAnEventOnceUntilItHappensAgain) {
    struct Case {
        const char* what;
        std::uint32_t mask;
        std::function<void()> cause;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"bytes arrive, and more join them unread", EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR | EV_BREAK,
         [this] { DeviceSends("ab"); }, EV_RXCHAR},
        {"a write is sent", EV_TXEMPTY, [this] { EXPECT_EQ(Write("x"), 1u); }, EV_TXEMPTY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(Open(), InvalidCommHandle);
        ASSERT_TRUE(api_->SetCommMask(handle_, c.mask));
        // What happened before the wait is kept for it.
        c.cause();
        Outcome outcome = Wait();
        EXPECT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(outcome.events, c.expected);

        // Nothing new: the next wait holds until it happens again.
        PendingWait wait(*api_, handle_);
        std::this_thread::sleep_for(200ms);
        EXPECT_FALSE(wait.Returned());
        c.cause();
        outcome = wait.Join();
        EXPECT_FALSE(outcome.hung);
        EXPECT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(outcome.events, c.expected);
        Close();
    }
}

TEST_F(TermiosCommApiTest, WaitReportsBytesThatCameAfterARead) {
    ASSERT_NE(Open(), InvalidCommHandle);
    ASSERT_TRUE(api_->SetCommMask(handle_, EV_RXCHAR));
    SetTimeouts({.ReadIntervalTimeout = MaxDword});
    DeviceSends("a");
    EXPECT_EQ(Wait().events, EV_RXCHAR);
    // As many bytes wait as at the last wait, but they are new ones.
    EXPECT_EQ(Read(1), "a");
    DeviceSends("b");
    WaitForInput(1);
    EXPECT_EQ(Wait().events, EV_RXCHAR);
}

TEST_F(TermiosCommApiTest, ReleasedWaitAndEveryLaterOneFail) {
    struct Case {
        const char* what;
        std::uint32_t mask;
        bool close;  // released by CloseHandle rather than CancelCommWait
        std::uint32_t laterError;
    };
    const Case cases[] = {
        {"cancelled, waiting for the release only", 0, false, ECANCELED},
        {"cancelled, waiting for events", EV_RXCHAR | EV_TXEMPTY, false, ECANCELED},
        {"closed", EV_RXCHAR, true, EBADF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(Open(), InvalidCommHandle);
        ASSERT_TRUE(api_->SetCommMask(handle_, c.mask));
        // The last error belongs to the thread that failed.
        EXPECT_FALSE(api_->EscapeCommFunction(handle_, 0));

        PendingWait wait(*api_, handle_);
        const CommHandle released = handle_;
        if (c.close)
            Close();
        else
            api_->CancelCommWait(handle_);
        const Outcome outcome = wait.Join();
        EXPECT_FALSE(outcome.hung);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(api_->GetLastError(), std::uint32_t(EINVAL));
        if (!c.close) {
            EXPECT_EQ(outcome.error, std::uint32_t(ECANCELED));
            // Released for good, even with an event to report; other calls go on.
            DeviceSends("a");
            WaitForInput(1);
            EXPECT_EQ(Write("b"), 1u);
        }
        const Outcome later = Wait(released);
        EXPECT_FALSE(later.ok);
        EXPECT_EQ(later.error, c.laterError);

        // A new handle of the same device waits again.
        if (handle_ != InvalidCommHandle)
            Close();
        ASSERT_NE(Open(), InvalidCommHandle);
        ASSERT_TRUE(api_->SetCommMask(handle_, EV_RXCHAR));
        DeviceSends("c");
        EXPECT_EQ(Wait().events, EV_RXCHAR);
        ASSERT_TRUE(api_->PurgeComm(handle_, PURGE_RXCLEAR));
        Close();
    }
}

TEST_F(TermiosCommApiTest, HangUpFailsTransfersAndWaits) {
    ASSERT_NE(Open(), InvalidCommHandle);
    SetTimeouts({.ReadTotalTimeoutConstant = 10000, .WriteTotalTimeoutConstant = 10000});
    ASSERT_TRUE(api_->SetCommMask(handle_, EV_RXCHAR | EV_TXEMPTY));
    close(std::exchange(master_, -1));

    char buffer[4] = {};
    std::uint32_t done = 0;
    struct Case {
        const char* what;
        std::function<Outcome()> call;
    };
    const Case cases[] = {
        {"read", [&] { return Outcome{api_->ReadFile(handle_, buffer, sizeof buffer, done), 0, api_->GetLastError()}; }},
        {"write", [&] { return Outcome{api_->WriteFile(handle_, buffer, sizeof buffer, done), 0, api_->GetLastError()}; }},
        {"wait", [&] { return Wait(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = c.call();
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.error, std::uint32_t(EIO));
    }
}

}  // namespace
