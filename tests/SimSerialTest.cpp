// The serial meter simulator: its session as pure logic, and the program
// velsim-serial over its pseudo-terminal, opened as a program opens a port.

#include "protocol/MeterCommands.h"
#include "protocol/SerialFrames.h"
#include "sim/GeneratedArchive.h"
#include "sim/MeterModel.h"
#include "sim/serial/SerialMeterSession.h"
#include "sim/serial/UniqueFd.h"
#include "support/Bytes.h"
#include "support/Records.h"
#include "support/SimulatedSerialMeter.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

ByteVector Join(std::initializer_list<ByteVector> pieces) {
    ByteVector all;
    for (const ByteVector& p : pieces)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

ByteVector First(const ByteVector& bytes, std::size_t n) {
    return ByteVector(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

const ByteVector IdentFrame = Bytes(IdentCommand);
const ByteVector CountFrame = Bytes(CountCommand);
const ByteVector FirstRequest = Bytes(BuildRecordRequest(FirstRecordIndex));
const IdentChars Chars150311{'1', '5', '0', '3', '1', '1'};

const DeviceRecord Record1 = ToDeviceRecord(MakeRecord(1, 14, 5, 9, 3, 3, 11, 2345.678f, 1, 125.44f));
const DeviceRecord Record2 = ToDeviceRecord(MakeRecord(2, 9, 30, 0, 21, 12, 12, 2100.5f, 2, -12.25f));
const DeviceRecord Record3 = ToDeviceRecord(MakeRecord(3, 23, 59, DeletedMark, 31, 12, 24, 1987.25f, 16, 0.5f));

const ByteVector IdentAnswer = Bytes(BuildIdentAnswer(Chars150311));
const ByteVector CountAnswer = Bytes(BuildCountAnswer(3));

// ---- The session ----

// Three records keyed 0, 5 and 9, chained 0 -> 5 -> 9 -> end, answering
// after 10 ms; identification 15.03.2011.
MeterSetup ChainedMeter(std::vector<MeterFault> faults = {}, milliseconds delay = 10ms) {
    MeterSetup setup;
    setup.archive = {{0, Record1, 5}, {5, Record2, 9}, {9, Record3, EndMark}};
    setup.identChars = Chars150311;
    setup.answerDelay = delay;
    setup.faults = std::move(faults);
    return setup;
}

const Clock::time_point T0{};

struct Timed {
    milliseconds at;  // from T0
    ByteVector bytes;
    bool operator==(const Timed&) const = default;
};

void PrintTo(const Timed& t, std::ostream* os) {
    *os << t.at.count() << " ms:";
    for (std::uint8_t b : t.bytes)
        *os << ' ' << std::hex << static_cast<int>(b) << std::dec;
}

// Plays the inputs as the simulator's loop does, with a clock that is never
// late: before each input, the bytes due until then go out, each at the moment
// they are due; after the last input, the rest. What went out, and when.
std::vector<Timed> Play(SerialMeterSession& session, const std::vector<Timed>& inputs) {
    std::vector<Timed> sent;
    const auto sendUntil = [&](std::optional<Clock::time_point> limit) {
        while (const std::optional<Clock::time_point> due = session.NextDue()) {
            if (limit && *due > *limit)
                return;
            EXPECT_TRUE(session.TakeDue(*due - 1us).empty()) << "bytes handed out before they were due";
            const ByteVector bytes = session.TakeDue(*due);
            if (bytes.empty()) {
                ADD_FAILURE() << "nothing handed out when due";
                return;
            }
            sent.push_back({std::chrono::duration_cast<milliseconds>(*due - T0), bytes});
        }
    };
    for (const Timed& in : inputs) {
        sendUntil(T0 + in.at);
        session.Receive(in.bytes, T0 + in.at);
    }
    sendUntil(std::nullopt);
    return sent;
}

TEST(SimSerialSession, AnswersGoOutWhenDue) {
    const ByteVector answer1 = Bytes(BuildRecordAnswer(Record1, 5));
    const ByteVector answer2 = Bytes(BuildRecordAnswer(Record2, 9));
    const ByteVector answer3 = Bytes(BuildRecordAnswer(Record3, EndMark));
    struct Case {
        const char* what;
        MeterSetup setup;
        std::vector<Timed> received;
        std::vector<Timed> sent;
        std::vector<std::uint16_t> requested;  // the record indices the meter took
    };
    const Case cases[] = {
        {"identification, after the answer delay", ChainedMeter(), {{0ms, IdentFrame}}, {{10ms, IdentAnswer}}, {}},
        {"a read-out of the chained archive",
         ChainedMeter(),
         {{0ms, IdentFrame},
          {30ms, CountFrame},
          {60ms, FirstRequest},
          {90ms, Bytes(BuildRecordRequest(5))},
          {120ms, Bytes(BuildRecordRequest(9))}},
         {{10ms, IdentAnswer}, {40ms, CountAnswer}, {70ms, answer1}, {100ms, answer2}, {130ms, answer3}},
         {0xFFFF, 5, 9}},
        {"a frame split across reads is taken when its last byte arrives",
         ChainedMeter(),
         {{0ms, First(FirstRequest, 3)}, {4ms, {FirstRequest[3]}}, {7ms, {FirstRequest[4], FirstRequest[5]}}},
         {{17ms, answer1}},
         {0xFFFF}},
        {"an unfinished frame waits for the rest", ChainedMeter(), {{0ms, First(FirstRequest, 5)}}, {}, {}},
        {"bytes that start no frame are skipped, the screen command too",
         ChainedMeter(),
         {{0ms, Join({Bytes({0x00, 0x55, 0xFE, 0x02}), Bytes(ScreenCommand), IdentFrame})}},
         {{10ms, IdentAnswer}},
         {}},
        {"a request cut short by the next command: the meter slides on to the commands inside it",
         ChainedMeter(),
         {{0ms, Join({First(FirstRequest, 2), IdentFrame, CountFrame})}},
         {{10ms, IdentAnswer}, {20ms, CountAnswer}},
         {}},
        {"an index no record has: silence", ChainedMeter(), {{0ms, Bytes(BuildRecordRequest(7))}}, {}, {7}},
        {"a command after an answer has gone out has its own delay",
         ChainedMeter(),
         {{0ms, IdentFrame}, {50ms, CountFrame}},
         {{10ms, IdentAnswer}, {60ms, CountAnswer}},
         {}},
        {"two commands in one read: the second is taken when the first answer has gone out",
         ChainedMeter(),
         {{0ms, Join({IdentFrame, CountFrame})}},
         {{10ms, IdentAnswer}, {20ms, CountAnswer}},
         {}},
        {"a trickle: each chunk its gap after the one before",
         ChainedMeter({{MeterCommand::Record, 0, FaultKind::Trickle, 10, 30ms}}),
         {{0ms, FirstRequest}},
         {{10ms, First(answer1, 10)},
          {40ms, ByteVector(answer1.begin() + 10, answer1.begin() + 20)},
          {70ms, ByteVector(answer1.begin() + 20, answer1.end())}},
         {0xFFFF}},
        {"a command during a trickling answer waits for its end",
         ChainedMeter({{MeterCommand::Count, 0, FaultKind::Trickle, 1, 30ms}}),
         {{0ms, CountFrame}, {5ms, IdentFrame}},
         {{10ms, {CountAnswer[0]}},
          {40ms, {CountAnswer[1]}},
          {70ms, {CountAnswer[2]}},
          {100ms, {CountAnswer[3]}},
          {110ms, IdentAnswer}},
         {}},
        {"an unanswered command keeps the meter busy for no time",
         ChainedMeter({{MeterCommand::Ident, 1, FaultKind::NoAnswer}}),
         {{0ms, IdentFrame}, {2ms, CountFrame}},
         {{12ms, CountAnswer}},
         {}},
        {"no delay: the answer is due when its frame is taken",
         ChainedMeter({}, 0ms),
         {{5ms, IdentFrame}},
         {{5ms, IdentAnswer}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SerialMeterSession session(c.setup);
        EXPECT_EQ(Play(session, c.received), c.sent);
        EXPECT_EQ(session.Meter().RequestedIndices(), c.requested);
        EXPECT_EQ(session.NextDue(), std::nullopt);
    }
}

// A loop that wakes late sends everything that has come due, in line order,
// and nothing twice.
TEST(SimSerialSession, LateTakeHandsOutEverythingDueInOrder) {
    SerialMeterSession session(ChainedMeter({{MeterCommand::Count, 0, FaultKind::Trickle, 1, 30ms}}));
    EXPECT_EQ(session.NextDue(), std::nullopt);
    EXPECT_TRUE(session.TakeDue(T0 + 1h).empty());

    session.Receive(CountFrame, T0);
    session.Receive(IdentFrame, T0 + 1ms);
    EXPECT_EQ(session.NextDue(), T0 + 10ms);
    EXPECT_EQ(session.TakeDue(T0 + 75ms), First(CountAnswer, 3));
    EXPECT_TRUE(session.TakeDue(T0 + 75ms).empty());
    EXPECT_EQ(session.NextDue(), T0 + 100ms);
    EXPECT_EQ(session.TakeDue(T0 + 1h), Join({{CountAnswer[3]}, IdentAnswer}));
    EXPECT_EQ(session.NextDue(), std::nullopt);
}

// ---- The program over its pseudo-terminal ----

// The test's end of the line: the slave opened as a program opens its port.
// Every wait is bounded, generously: the limits only stop a hung test.
class Port {
public:
    enum class Line { Raw, AsFound };

    // AsFound: as a program that keeps the line settings it finds.
    explicit Port(const std::string& path, Line line = Line::Raw)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (!fd_)
            throw std::system_error(errno, std::generic_category(), "open " + path);
        if (line == Line::AsFound)
            return;
        termios settings{};
        if (tcgetattr(fd_.Get(), &settings) != 0)
            throw std::system_error(errno, std::generic_category(), "tcgetattr");
        cfmakeraw(&settings);
        if (tcsetattr(fd_.Get(), TCSANOW, &settings) != 0)
            throw std::system_error(errno, std::generic_category(), "tcsetattr");
    }

    void Write(const ByteVector& bytes) {
        ASSERT_EQ(::write(fd_.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // The bytes that arrive until count have come or `limit` has passed.
    ByteVector Read(std::size_t count, milliseconds limit = 10s) {
        ByteVector got;
        const Clock::time_point end = Clock::now() + limit;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
            if (left <= 0ms || !Wait(left))
                break;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(fd_.Get(), buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0)
                got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    // Everything that arrives within `span`.
    ByteVector ReadFor(milliseconds span) { return Read(SIZE_MAX, span); }

    // Writes a command and reads as many bytes as its answer has.
    ByteVector Ask(const ByteVector& command, std::size_t answerSize) {
        Write(command);
        return Read(answerSize);
    }

private:
    bool Wait(milliseconds limit) {
        pollfd p{fd_.Get(), POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(limit.count())) > 0;
    }

    UniqueFd fd_;
};

SimulatedSerialMeter::Settings ThreeRecordSettings(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("three.Vel"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    for (const DeviceRecord& r : {Record1, Record2, Record3})
        file.write(reinterpret_cast<const char*>(r.data()), static_cast<qint64>(r.size()));
    return {{"VELSIM_ARCHIVE", path.toStdString()}, {"VELSIM_IDENT_CHARS", "150311"}};
}

TEST(SimSerial, ReadOutOverThePortIsByteExact) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SimulatedSerialMeter::Settings settings = ThreeRecordSettings(dir);
    // The USB meter's settings, even unusable ones, are none of the serial meter's business.
    settings["VELSIM_METERS"] = "many";
    settings["VELSIM_SCREEN"] = "/nonexistent/screen.bin";
    SimulatedSerialMeter meter(VEL_SERIAL_SIMULATOR, settings);
    Port port(meter.PortPath());

    EXPECT_EQ(port.Ask(IdentFrame, IdentAnswerSize), IdentAnswer);
    EXPECT_EQ(port.Ask(CountFrame, CountAnswerSize), CountAnswer);
    // The file's records chained in file order: indices 0, 1, 2.
    struct Step {
        std::uint16_t index;
        ByteVector answer;
    };
    const Step steps[] = {
        {FirstRecordIndex, Bytes(BuildRecordAnswer(Record1, 1))},
        {1, Bytes(BuildRecordAnswer(Record2, 2))},
        {2, Bytes(BuildRecordAnswer(Record3, EndMark))},
    };
    for (const Step& s : steps)
        EXPECT_EQ(port.Ask(Bytes(BuildRecordRequest(s.index)), RecordAnswerSize), s.answer) << "index " << s.index;
    EXPECT_EQ(port.ReadFor(200ms), ByteVector{}) << "nothing but the answers";
}

// The read-out discards what arrives within CommandDiscardWindow of its
// command, so no answer may begin sooner; VELSIM_LATENCY sets the delay.
TEST(SimSerial, NoAnswerBeginsWithinTheDiscardWindow) {
    struct Case {
        const char* what;
        SimulatedSerialMeter::Settings settings;
        milliseconds earliest;
    };
    const Case cases[] = {
        {"the default delay", {{"VELSIM_RECORDS", "3"}}, CommandDiscardWindow},
        {"VELSIM_LATENCY=150", {{"VELSIM_RECORDS", "3"}, {"VELSIM_LATENCY", "150"}}, 150ms},
    };
    const std::pair<ByteVector, std::size_t> commands[] = {
        {IdentFrame, IdentAnswerSize}, {CountFrame, CountAnswerSize}, {FirstRequest, RecordAnswerSize}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedSerialMeter meter(VEL_SERIAL_SIMULATOR, c.settings);
        Port port(meter.PortPath());
        for (const auto& [command, size] : commands) {
            const Clock::time_point sent = Clock::now();
            port.Write(command);
            const ByteVector first = port.Read(1);
            const auto waited = Clock::now() - sent;
            ASSERT_EQ(first.size(), 1u);
            EXPECT_GE(waited, c.earliest);
            EXPECT_EQ(port.Read(size - 1).size(), size - 1);
        }
    }
}

TEST(SimSerial, FaultPlanShowsOnTheWire) {
    const std::vector<ArchiveEntry> archive = GenerateArchive(3);
    const ByteVector record1 = Bytes(BuildRecordAnswer(archive[0].record, archive[0].next));
    ByteVector spoiled = record1;
    spoiled[RecordAnswerSize - 2] ^= 0xFF;
    spoiled[RecordAnswerSize - 1] ^= 0xFF;
    const ByteVector ident = Bytes(BuildIdentAnswer(MeterSetup{}.identChars));
    const ByteVector count = Bytes(BuildCountAnswer(3));

    struct Exchange {
        ByteVector command;
        ByteVector answer;  // empty: the meter stays silent
    };
    struct Case {
        const char* plan;
        std::vector<Exchange> exchanges;
        milliseconds last;  // the last byte of each answer comes at least this long after its command
    };
    const Case cases[] = {
        {"record:wrong-checksum", {{FirstRequest, spoiled}}, 0ms},
        {"record@2:no-answer", {{FirstRequest, record1}, {FirstRequest, {}}, {FirstRequest, record1}}, 0ms},
        {"count:short=2", {{CountFrame, First(count, 2)}, {IdentFrame, ident}}, 0ms},
        {"ident:trickle=3/40", {{IdentFrame, ident}}, 80ms},  // chunks of 3, 3 and 2 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plan);
        SimulatedSerialMeter meter(VEL_SERIAL_SIMULATOR, {{"VELSIM_RECORDS", "3"}, {"VELSIM_FAULTS", c.plan}});
        Port port(meter.PortPath());
        for (const Exchange& e : c.exchanges) {
            const Clock::time_point sent = Clock::now();
            port.Write(e.command);
            if (e.answer.empty()) {
                EXPECT_EQ(port.ReadFor(300ms), ByteVector{});
                continue;
            }
            EXPECT_EQ(port.Read(e.answer.size()), e.answer);
            EXPECT_GE(Clock::now() - sent, c.last);
        }
        EXPECT_EQ(port.ReadFor(200ms), ByteVector{}) << "nothing beyond the planned answers";
    }
}

TEST(SimSerial, LinkIsPlacedAndRemovedAtExit) {
    struct Case {
        const char* what;
        int signal;
        bool staleLink;  // a symlink from an earlier run is there already
    };
    const Case cases[] = {
        {"SIGTERM, folders made", SIGTERM, false},
        {"SIGINT, an old symlink replaced", SIGINT, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const fs::path link = fs::path(dir.path().toStdString()) / "data" / "ports" / "com7";
        if (c.staleLink) {
            fs::create_directories(link.parent_path());
            fs::create_symlink("/dev/pts/nonexistent", link);
        }
        {
            SimulatedSerialMeter meter(VEL_SERIAL_SIMULATOR, {}, link.string());
            ASSERT_TRUE(fs::is_symlink(link));
            EXPECT_EQ(fs::read_symlink(link).string(), meter.PortPath());
            {
                Port port(link.string());
                EXPECT_EQ(port.Ask(IdentFrame, IdentAnswerSize), Bytes(BuildIdentAnswer(MeterSetup{}.identChars)));
            }
            EXPECT_EQ(meter.Stop(c.signal), 0);
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
        EXPECT_TRUE(fs::is_directory(link.parent_path())) << "the folders stay";
    }
}

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the simulator to its end: for starts it refuses.
Finished RunToEnd(const QStringList& arguments, const SimulatedSerialMeter::Settings& settings) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("VELSIM_")))
            environment.remove(name);
    for (const auto& [name, value] : settings)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VEL_SERIAL_SIMULATOR), arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

TEST(SimSerial, RefusesWhatItCannotUse) {
    struct Case {
        QStringList arguments;  // %1: a folder holding a file "file" and a folder "folder"
        SimulatedSerialMeter::Settings settings;
        int exitCode;
        std::string named;  // in the message on stderr (or, for --help, the text on stdout)
    };
    const Case cases[] = {
        {{}, {{"VELSIM_LATENCY", "soon"}}, 2, "VELSIM_LATENCY"},
        {{}, {{"VELSIM_IDENT_CHARS", "12345"}}, 2, "VELSIM_IDENT_CHARS"},
        {{}, {{"VELSIM_IDENT_CHARS", "1234567"}}, 2, "VELSIM_IDENT_CHARS"},
        {{}, {{"VELSIM_FAULTS", "ident:bogus"}}, 2, "VELSIM_FAULTS"},
        {{}, {{"VELSIM_ARCHIVE", "/nonexistent/archive.Vel"}}, 2, "VELSIM_ARCHIVE"},
        {{"--link", "%1/file"}, {}, 2, "/file"},
        {{"--link", "%1/folder"}, {}, 2, "/folder"},
        {{"--link"}, {}, 2, "--link"},
        {{"--bogus"}, {}, 2, "--bogus"},
        {{"--help"}, {}, 0, "--link PATH"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("file")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
        file.close();
        ASSERT_TRUE(fs::create_directory(dir.filePath(QStringLiteral("folder")).toStdString()));

        QStringList arguments;
        for (const QString& a : c.arguments)
            arguments << QString(a).replace(QStringLiteral("%1"), dir.path());
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString() + " " +
                     (c.settings.empty() ? "" : c.settings.begin()->first + "=" + c.settings.begin()->second));
        const Finished run = RunToEnd(arguments, c.settings);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode == 0) {
            EXPECT_NE(run.out.find(c.named), std::string::npos) << run.out;
            continue;
        }
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << "no port is offered";
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("kept"));
        EXPECT_TRUE(fs::is_directory(dir.filePath(QStringLiteral("folder")).toStdString()));
    }
}

// A program opens and closes its port again and again (the port dialog, a
// restart), sometimes before an answer has come; the meter stays on the line.
// The line comes raw: a program that keeps the settings it finds gets the
// bytes as sent, and the meter's answers are not echoed back to it.
TEST(SimSerial, PortClosesAndReopens) {
    SimulatedSerialMeter meter(VEL_SERIAL_SIMULATOR, {{"VELSIM_IDENT_CHARS", "150311"}});
    bool countPending = false;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        Port port(meter.PortPath(), Port::Line::AsFound);
        if (round % 2 == 1) {
            // Closed at once: the count answer goes out while nobody listens.
            port.Write(CountFrame);
            countPending = true;
            continue;
        }
        // The answer left behind may still come before this one, and only it.
        ByteVector got = port.Ask(IdentFrame, IdentAnswerSize);
        if (countPending && got != IdentAnswer) {
            const ByteVector more = port.Read(CountAnswerSize);
            got.insert(got.end(), more.begin(), more.end());
            EXPECT_EQ(got, Join({Bytes(BuildCountAnswer(10)), IdentAnswer}));
        } else {
            EXPECT_EQ(got, IdentAnswer);
        }
        countPending = false;
    }
    EXPECT_EQ(meter.Stop(), 0);
}

}  // namespace
