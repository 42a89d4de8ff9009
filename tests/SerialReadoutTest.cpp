#include "protocol/SerialReadout.h"

#include "archive/Archive.h"
#include "platform/MessageBox.h"
#include "protocol/DeviceRecord.h"
#include "protocol/SerialFrames.h"
#include "transport/TComm.h"

#include "support/FakeCommApi.h"
#include "support/FakeCommMeter.h"
#include "support/FakeEnvironment.h"
#include "support/Records.h"
#include "support/RecordingMainView.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QString Port = QStringLiteral("\\\\.\\COM1");
const QString PortMessage = QStringLiteral(
    "Ошибка COM-порта. Порт не работает или занят другой программой.\n"
    "Проверьте настройку параметров\n"
    "или закройте программу, использующую выбранный COM-порт.");

DeviceRecord Record(std::uint16_t number) {
    return ToDeviceRecord(MakeRecord(number, 10, 20, 30, 1, 2, 24, 2345.5f + number, 1, 120.0f));
}

// Entries with the given indices, each one's next the index after it, the
// last one's next lastNext.
std::vector<ArchiveEntry> Chain(const std::vector<std::uint16_t>& indices, std::uint16_t lastNext) {
    std::vector<ArchiveEntry> entries;
    for (std::size_t i = 0; i < indices.size(); ++i)
        entries.push_back({indices[i], Record(static_cast<std::uint16_t>(i + 1)),
                           i + 1 < indices.size() ? indices[i + 1] : lastNext});
    return entries;
}

class SerialReadoutTest : public ::testing::Test {
protected:
    SerialReadoutTest() {
        api.AddDevice(Port);
        comm.SetDeviceName(Port);
        comm.SetBaudRate(br115200);
        comm.Open();
        archive->Count = 0;
        view.realWaits = true;
    }

    // A meter answering after delay (well past the 5 ms in which answers
    // are thrown away, even on a slow machine); the serial answers start
    // with the first entry, whatever its index.
    FakeCommMeter& Meter(std::vector<ArchiveEntry> entries, std::chrono::milliseconds delay = 40ms) {
        MeterSetup setup;
        setup.archive = std::move(entries);
        setup.identChars = {'1', '5', '0', '3', '1', '1'};
        setup.answerDelay = delay;
        meter = std::make_unique<FakeCommMeter>(api, std::move(setup));
        return *meter;
    }

    QStringList Statuses() const { return view.calls.filter(QStringLiteral("SetStatusText")); }

    FakeCommApi api;
    TComm comm{api};
    RecordingMainView view;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<TArchive> archive = std::make_unique<TArchive>();
    SerialReadout readout{comm, view, boxes, *archive};
    std::unique_ptr<FakeCommMeter> meter;
};

TEST_F(SerialReadoutTest, ReadsAChainedArchiveInTheOrderTheMeterGives) {
    FakeCommMeter& m = Meter(Chain({0xFFFF, 5, 9}, EndMark));
    readout.Read();

    EXPECT_EQ(m.Model().RequestedIndices(), (std::vector<std::uint16_t>{0xFFFF, 5, 9}));
    ASSERT_EQ(archive->Count, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ToDeviceRecord(archive->Records[i]), Record(static_cast<std::uint16_t>(i + 1)));
    EXPECT_EQ(Statuses(), (QStringList{"SetStatusText: 15.03.2011", "SetStatusText: Считано из прибора записей: 1",
                                       "SetStatusText: Считано из прибора записей: 2"}));
    const QStringList outline = {"SetProgressRange: 0 1000", "SetProgressPosition: 0", "ClearTable",
                                 "SetProgressRange: 0 3", "ShowArchive"};
    QStringList seen;
    for (const QString& call : view.calls)
        if (outline.contains(call) && !seen.contains(call))
            seen << call;
    EXPECT_EQ(seen, outline);
    // The bar ends full.
    EXPECT_EQ(view.calls.mid(view.calls.size() - 2), (QStringList{"SetProgressPosition: 3", "ShowArchive"}));
    EXPECT_EQ(view.calls.back(), "ShowArchive");
    EXPECT_FALSE(readout.ReadBusy());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SerialReadoutTest, StopsAtTheCountWithoutAnEndMark) {
    FakeCommMeter& m = Meter(Chain({0xFFFF, 1, 2, 3}, 4));
    m.Model().Setup().reportedCount = 2;
    readout.Read();
    EXPECT_EQ(m.Model().RequestedIndices(), (std::vector<std::uint16_t>{0xFFFF, 1}));
    EXPECT_EQ(archive->Count, 2);
    EXPECT_EQ(Statuses().back(), "SetStatusText: Считано из прибора записей: 2");
}

// An answer naming the index just asked for is taken for a late one to the
// request before: a chain that points at itself stores its record once, and
// the read-out asks again until the port goes.
TEST_F(SerialReadoutTest, AChainThatPointsAtItselfStoresItsRecordOnce) {
    FakeCommMeter& m = Meter(Chain({0xFFFF, 5}, 5));
    m.Model().Setup().reportedCount = 3;
    // Closed once the record pointing at itself has been answered three
    // more times after it was stored.
    int again = 0;
    m.beforeAnswer = [this, &again](MeterModel&) {
        if (archive->Count == 2 && ++again == 3)
            QTimer::singleShot(0, [this] { comm.Close(); });
    };
    readout.Read();
    EXPECT_EQ(archive->Count, 2);
    EXPECT_EQ(archive->Records[1].Number, 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, PortMessage);
}

TEST_F(SerialReadoutTest, AnEmptyMeterLeavesTheArchiveAsItWas) {
    archive->Count = 7;
    FakeCommMeter& m = Meter({});
    readout.Read();
    EXPECT_EQ(archive->Count, 7);
    EXPECT_EQ(m.Model().Taken(MeterCommand::Record), 0);
    EXPECT_TRUE(view.calls.contains("ClearTable"));
    EXPECT_TRUE(view.calls.contains("SetProgressRange: 0 0"));
    EXPECT_FALSE(view.calls.contains("ShowArchive"));
    EXPECT_EQ(Statuses().back(), "SetStatusText: Прибор не содержит записей");
    EXPECT_EQ(view.calls.back(), "WaitPumping: 500");
}

TEST_F(SerialReadoutTest, RepeatsEveryExchangeUntilItIsAnswered) {
    struct Case {
        const char* name;
        MeterFault fault;
    };
    const std::vector<Case> cases = {
        {"silent identification", {MeterCommand::Ident, 1, FaultKind::NoAnswer}},
        {"short identification", {MeterCommand::Ident, 1, FaultKind::ShortAnswer, 7}},
        {"identification checksum", {MeterCommand::Ident, 1, FaultKind::WrongChecksum}},
        {"silent count", {MeterCommand::Count, 1, FaultKind::NoAnswer}},
        {"short count", {MeterCommand::Count, 1, FaultKind::ShortAnswer, 3}},
        {"count checksum", {MeterCommand::Count, 1, FaultKind::WrongChecksum}},
        {"silent record", {MeterCommand::Record, 2, FaultKind::NoAnswer}},
        {"short record", {MeterCommand::Record, 2, FaultKind::ShortAnswer, 27}},
        {"record checksum", {MeterCommand::Record, 2, FaultKind::WrongChecksum}},
        {"record stops for 150 ms", {MeterCommand::Record, 2, FaultKind::Trickle, 14, 160ms}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCommMeter& m = Meter(Chain({0xFFFF, 5, 9}, EndMark));
        m.Model().Setup().faults = {c.fault};
        view.calls.clear();
        readout.Read();
        EXPECT_EQ(archive->Count, 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(ToDeviceRecord(archive->Records[i]), Record(static_cast<std::uint16_t>(i + 1)));
        if (c.fault.command == MeterCommand::Record) {
            // The same index asked again.
            const std::vector<std::uint16_t> indices = m.Model().RequestedIndices();
            ASSERT_GE(indices.size(), 4u);
            EXPECT_EQ(std::vector<std::uint16_t>(indices.begin(), indices.begin() + 3),
                      (std::vector<std::uint16_t>{0xFFFF, 5, 5}));
        } else {
            EXPECT_GE(m.Model().Taken(c.fault.command), 2);
        }
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(SerialReadoutTest, TakesARecordThatTricklesInWhileBytesKeepComing) {
    FakeCommMeter& m = Meter(Chain({0xFFFF}, EndMark));
    m.Model().Setup().faults = {{MeterCommand::Record, 0, FaultKind::Trickle, 1, 100ms}};
    readout.Read();
    EXPECT_EQ(archive->Count, 1);
    EXPECT_EQ(m.Model().Taken(MeterCommand::Record), 1);
}

TEST_F(SerialReadoutTest, DiscardsWhatArrivesWithinFiveMillisecondsOfACommand) {
    FakeCommMeter& m = Meter(Chain({0xFFFF}, EndMark), 1ms);
    // Only the first identification comes that soon.
    m.beforeAnswer = [](MeterModel& model) {
        model.Setup().answerDelay = model.Taken(MeterCommand::Ident) == 0 ? 1ms : 40ms;
    };
    readout.Read();
    EXPECT_EQ(m.Model().Taken(MeterCommand::Ident), 2);
    EXPECT_EQ(archive->Count, 1);
}

TEST_F(SerialReadoutTest, ASecondReadWhileOneWaitsReturnsAtOnce) {
    FakeCommMeter& m = Meter(Chain({0xFFFF, 5, 9}, EndMark), 60ms);
    int nested = 0;
    QTimer::singleShot(10, [&] {
        readout.Read();
        ++nested;
    });
    readout.Read();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(m.Model().Taken(MeterCommand::Ident), 1);
    EXPECT_EQ(archive->Count, 3);
}

TEST_F(SerialReadoutTest, AClosedPortGivesTheMessageAndSendsNothing) {
    comm.Close();
    readout.Read();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, PortMessage);
    EXPECT_EQ(boxes.shown[0].caption, "ВЕЛ. Плотномер асфальта");
    EXPECT_EQ(boxes.shown[0].type, MessageBox::MB_OK | MessageBox::MB_ICONWARNING | MessageBox::MB_TASKMODAL);
    EXPECT_TRUE(api.Sent().empty());
    EXPECT_FALSE(readout.ReadBusy());

    // Once the port is open, the next Read reads.
    comm.Open();
    Meter(Chain({0xFFFF}, EndMark));
    readout.Read();
    EXPECT_EQ(archive->Count, 1);
}

TEST_F(SerialReadoutTest, AWriteThatFallsShortIsReportedAndTheExchangeRepeated) {
    FakeCommMeter& m = Meter(Chain({0xFFFF}, EndMark));
    api.Fail("WriteFile", 1117);
    readout.Read();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Ошибка записи команды в COM-порт.");
    EXPECT_EQ(m.Model().Taken(MeterCommand::Ident), 1);
    EXPECT_EQ(archive->Count, 1);
}

TEST_F(SerialReadoutTest, ALineThatRefusesEveryWriteIsToldOnce) {
    FakeCommMeter& m = Meter(Chain({0xFFFF}, EndMark));
    api.Fail("WriteFile", 1117, 5);
    readout.Read();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Ошибка записи команды в COM-порт.");
    EXPECT_EQ(m.Model().Taken(MeterCommand::Ident), 1);
    EXPECT_EQ(archive->Count, 1);

    // The next read-out tells it again.
    api.Fail("WriteFile", 1117, 1);
    readout.Read();
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(SerialReadoutTest, APortClosedDuringTheReadEndsItKeepingWhatWasRead) {
    FakeCommMeter& m = Meter(Chain({0xFFFF, 5, 9}, EndMark));
    // Closed while the third record is asked for.
    m.beforeAnswer = [this](MeterModel&) {
        if (archive->Count == 2)
            QTimer::singleShot(0, [this] { comm.Close(); });
    };
    readout.Read();
    EXPECT_EQ(archive->Count, 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, PortMessage);
    EXPECT_EQ(view.calls.back(), "ShowArchive");
}

TEST_F(SerialReadoutTest, NeverWritesPastTheArchive) {
    std::vector<std::uint16_t> indices;
    for (int i = 0; i < ArchiveCapacity + 3; ++i)
        indices.push_back(i == 0 ? 0xFFFF : static_cast<std::uint16_t>(i));
    // Fast: the read-out's own waits do not wait, and a meter that answers
    // too soon now and then is simply asked again.
    view.realWaits = false;
    FakeCommMeter& m = Meter(Chain(indices, EndMark), 2ms);
    m.Model().Setup().reportedCount = 3000;
    readout.Read();
    EXPECT_EQ(archive->Count, ArchiveCapacity);
    EXPECT_EQ(m.Model().RequestedIndices().back(), ArchiveCapacity - 1);
}

TEST_F(SerialReadoutTest, AnArchiveOpenedDuringTheReadIsNotWrittenPast) {
    FakeCommMeter& m = Meter(Chain({0xFFFF, 5, 9}, EndMark));
    m.beforeAnswer = [this](MeterModel& model) {
        // A file with a full archive is opened while the second record comes.
        if (model.Taken(MeterCommand::Record) == 1)
            QTimer::singleShot(0, [this] { archive->Count = ArchiveCapacity; });
    };
    readout.Read();
    EXPECT_EQ(archive->Count, ArchiveCapacity);
}

}  // namespace
