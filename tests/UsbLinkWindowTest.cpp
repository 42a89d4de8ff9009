#include "ui/TForm1.h"

#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "platform/Ticks.h"
#include "protocol/DeviceRecord.h"
#include "protocol/UsbLinkState.h"
#include "sim/GeneratedArchive.h"
#include "support/FakeEnvironment.h"
#include "support/PumpUntil.h"
#include "support/Records.h"
#include "support/SimulatedUsbMeter.h"
#include "support/UiHeartbeat.h"
#include "thread/TBMThread.h"
#include "transport/LibUsbWin32.h"
#include "ui/StatusBar.h"
#include "ui/TShape.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>

#include <memory>

namespace {

const QString NotConnected = QStringLiteral(
    "Прибор не подключен к шине USB или выключен. Включите прибор, подключите его к шине USB и перезапустите "
    "программу.");

// The worker component's threads (named so) running in this process now.
int WorkerThreads() {
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + QStringLiteral("/comm")));
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "TBMThread")
            ++count;
    }
    return count;
}

// The main window in USB mode over the simulated meter.
class UsbLinkWindowTest : public ::testing::Test {
protected:
    UsbLinkWindowTest() {
        meter.Set("VELSIM_IDENT", "VEL-1 N17");
        env.WriteSettings("[Config]\nCOMPortNumber=USB\n[Debug]\nLogUSB=Y\n");
        // An archive from before, to tell what a read left in place.
        for (int i = 0; i < 7; ++i)
            Archive.Records[i] = MakeRecord(static_cast<std::uint16_t>(100 + i), 0, 0, 0, 1, 1, 20, 1.0f, 0, 0.0f);
        Archive.Count = 7;
    }
    ~UsbLinkWindowTest() override {
        form.reset();
        Archive.Count = 0;
    }

    void Start() {
        started.start();
        form = std::make_unique<TForm1>(env.Get());
    }
    QString Status() const { return form->StatusBar1->PanelText(0); }
    bool Resting() const { return LinkState.load() == LinkStates::Idle; }
    // Waits until the worker rests with status panel 0 reading text.
    bool RestsWith(const QString& text) const {
        return PumpUntil([&] { return Resting() && Status() == text; });
    }

    SimulatedUsbMeter meter;
    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
    QElapsedTimer started;
};

TEST_F(UsbLinkWindowTest, StartWithTheMeterReadsTheArchiveAtOnce) {
    meter.Set("VELSIM_RECORDS", "25");
    Start();
    ASSERT_TRUE(RestsWith(QStringLiteral("VEL-1 N17; Считано записей: 25")));
    EXPECT_GE(started.elapsed(), 450);  // the worker's first pause
    EXPECT_EQ(Archive.Count, 25);
    EXPECT_EQ(form->Grid().RowCount(), 27);
    EXPECT_EQ(form->Grid().Cells(0, 1), QStringLiteral("(25)"));
    EXPECT_FALSE(form->ProgressBar1->isVisibleTo(form->StatusBar1));
    EXPECT_EQ(form->ShapeLink->BrushColor(), clBtnFace);
    EXPECT_TRUE(env.messageBoxes.shown.empty());
}

TEST_F(UsbLinkWindowTest, OutcomesOfAReadAsTheWindowShowsThem) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> settings;
        QString status;
        int count;
        int rows;  // of the table, its two header rows included
    };
    const QByteArray longIdent(100, 'A');
    const Case cases[] = {
        {"identification of 100 characters",
         {{"VELSIM_IDENT", longIdent.constData()}, {"VELSIM_RECORDS", "2"}},
         QString(63, QLatin1Char('A')) + QStringLiteral("; Считано записей: 2"),
         2,
         4},
        {"count answer of length 4",
         {{"VELSIM_FAULTS", "count:length=4"}},
         QStringLiteral("Неверный формат данных, возможно версия прибора не соответствует программе"),
         7,
         3},
        {"no records", {{"VELSIM_RECORDS", "0"}}, QStringLiteral("VEL-1 N17; Архив пуст"), 7, 3},
        {"time-out after 5 records",
         {{"VELSIM_RECORDS", "20"}, {"VELSIM_FAULTS", "record:timeout-after=5"}},
         QStringLiteral("LibUsb: Тайм-аут"),
         5,
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        meter.Reset();
        meter.Set("VELSIM_IDENT", "VEL-1 N17");
        for (const auto& [name, value] : c.settings)
            meter.Set(name, value);
        Archive.Count = 7;
        Start();
        ASSERT_TRUE(RestsWith(c.status)) << Status().toStdString();
        EXPECT_EQ(Archive.Count, c.count);
        EXPECT_EQ(form->Grid().RowCount(), c.rows);
        form.reset();
    }
}

TEST_F(UsbLinkWindowTest, PluggingTheMeterInStartsTheRead) {
    meter.Set("VELSIM_ABSENT", "1");
    Start();
    ASSERT_TRUE(PumpUntil([&] { return Status() == NotConnected; }));
    EXPECT_EQ(LinkState.load(), LinkStates::FindMeter);
    meter.Set("VELSIM_ABSENT", "0");
    EXPECT_TRUE(RestsWith(QStringLiteral("VEL-1 N17; Считано записей: 10")));
}

// What the meter may do wrong, end to end through the window over USB: the
// window keeps serving its events, the status line and the link indicator
// tell what happened, the archive holds exactly the records read (a read cut
// short keeps those it got), and Exit ends the worker.
struct UsbFault {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;  // on top of ten records
    // Unplugged once the progress bar shows this many records; -1: stays.
    int unplugAt;
    QString status;
    bool failed;  // the link indicator turns red, then grey when the worker rests
    // Records of the meter's in the archive: -1 the archive of before is kept,
    // -2 those that came before the meter was unplugged.
    int count;
};

class UsbFaultMatrixTest : public UsbLinkWindowTest {
protected:
    void ExpectOutcome(const UsbFault& c) {
        SCOPED_TRACE(c.name);
        meter.Reset();
        meter.Set("VELSIM_IDENT", "VEL-1 N17");
        meter.Set("VELSIM_RECORDS", "10");
        for (const auto& [name, value] : c.settings)
            meter.Set(name, value);
        for (int i = 0; i < 7; ++i)
            Archive.Records[i] = MakeRecord(static_cast<std::uint16_t>(100 + i), 0, 0, 0, 1, 1, 20, 1.0f, 0, 0.0f);
        Archive.Count = 7;
        env.processExit.codes.clear();
        Start();

        UiHeartbeat heartbeat;
        // Red lasts while the worker pauses after a failure, 100 ms and more.
        bool red = false;
        QTimer colours;
        QObject::connect(&colours, &QTimer::timeout, [&] { red = red || form->ShapeLink->BrushColor() == clRed; });
        colours.start(1);
        bool unplugged = false;
        QTimer unplug;
        QObject::connect(&unplug, &QTimer::timeout, [&] {
            if (!unplugged && LinkState.load() == LinkStates::Records && form->ProgressBar1->value() >= c.unplugAt) {
                meter.Set("VELSIM_ABSENT", "1");
                unplugged = true;
            }
        });
        if (c.unplugAt >= 0)
            unplug.start(1);
        // A read that failed rests; an unplugged meter is looked for again.
        const bool ended = PumpUntil([&] {
            const std::uint8_t state = LinkState.load();
            return Status() == c.status && (state == LinkStates::Idle || (unplugged && state == LinkStates::FindMeter));
        });
        EXPECT_TRUE(ended) << "status: " << Status().toStdString();
        EXPECT_TRUE(PumpUntil([&] { return form->ShapeLink->BrushColor() == clBtnFace; }));
        EXPECT_EQ(red, c.failed);
        EXPECT_GT(heartbeat.Beats(), 0);
        EXPECT_LT(heartbeat.LongestGapMs(), ResponsiveGapMs);

        if (c.count == -1) {
            EXPECT_EQ(Archive.Count, 7);
            EXPECT_EQ(Archive.Records[6].Number, 106);
        } else {
            if (c.count == -2) {
                EXPECT_GE(Archive.Count, c.unplugAt);
                EXPECT_LT(Archive.Count, 10);
            } else {
                EXPECT_EQ(Archive.Count, c.count);
            }
            const std::vector<ArchiveEntry> held = GenerateArchive(std::max(c.count, 10));
            for (int i = 0; i < std::min(Archive.Count, std::max(c.count, 10)); ++i) {
                DeviceRecord read = ToDeviceRecord(Archive.Records[i]);
                read[9] = held[i].record[9];  // the slot's own byte: a read keeps it
                ASSERT_EQ(read, held[i].record) << "record " << i;
            }
        }

        form->AExit->trigger();
        EXPECT_EQ(env.processExit.codes, std::vector<int>{0});
        EXPECT_EQ(form->BMThreadUSB, nullptr);
        EXPECT_EQ(WorkerThreads(), 0);
        EXPECT_EQ(meter.OpenHandles(), 0);
        form.reset();
    }
};

TEST_F(UsbFaultMatrixTest, EachFaultOfTheMeterEndsAsItShould) {
    const QString timeOut = QStringLiteral("LibUsb: Тайм-аут");
    const QString formatError =
        QStringLiteral("Неверный формат данных, возможно версия прибора не соответствует программе");
    const QString ten = QStringLiteral("VEL-1 N17; Считано записей: 10");
    const UsbFault cases[] = {
        {"silence", {{"VELSIM_FAULTS", "ident:no-answer"}}, -1, timeOut, true, -1},
        {"a short answer", {{"VELSIM_FAULTS", "count:short=4"}}, -1, timeOut, true, -1},
        // USB answers carry no checksum to spoil.
        {"a wrong checksum", {{"VELSIM_FAULTS", "record:wrong-checksum"}}, -1, ten, false, 10},
        {"a trickling answer", {{"VELSIM_FAULTS", "record:trickle=1/30"}}, -1, ten, false, 10},
        {"a count length of 4", {{"VELSIM_FAULTS", "count:length=4"}}, -1, formatError, true, -1},
        {"a count length of 0", {{"VELSIM_FAULTS", "count:length=0"}}, -1, formatError, true, -1},
        {"a time-out after 5 records", {{"VELSIM_FAULTS", "record:timeout-after=5"}}, -1, timeOut, true, 5},
        {"unplugged in the middle of a read", {{"VELSIM_FAULTS", "record:trickle=1/20"}}, 4,
         QStringLiteral("LibUsb: Нет такого устройства"), true, -2},
        {"garbage", {{"VELSIM_FAULTS", "count:garbage=3"}}, -1, formatError, true, -1},
        {"slower than the time-outs", {{"VELSIM_LATENCY", "700"}}, -1, timeOut, true, -1},
    };
    for (const UsbFault& c : cases)
        ExpectOutcome(c);
}

TEST_F(UsbFaultMatrixTest, AMeterWithMoreRecordsThanTheArchiveHoldsFillsItAndStops) {
    ExpectOutcome({"more records than the archive holds",
                   {{"VELSIM_RECORDS", "2700"}, {"VELSIM_LATENCY", "0"}},
                   -1,
                   QStringLiteral("VEL-1 N17; Считано записей: 2677"),
                   false,
                   2677});
}

TEST_F(UsbLinkWindowTest, ReadAsksForANewReadOnlyWhenTheWorkerRests) {
    meter.Set("VELSIM_LATENCY", "150");  // a read that takes a while
    meter.Set("VELSIM_RECORDS", "3");
    Start();
    ASSERT_TRUE(PumpUntil([&] { return LinkState.load() == LinkStates::RecordCount; }));
    form->ARead->trigger();
    EXPECT_NE(LinkState.load(), LinkStates::FindMeter);
    ASSERT_TRUE(RestsWith(QStringLiteral("VEL-1 N17; Считано записей: 3")));
    EXPECT_EQ(meter.Taken("ident"), 1);

    form->ARead->trigger();
    EXPECT_EQ(Status(), QString());
    EXPECT_EQ(LinkState.load(), LinkStates::FindMeter);
    ASSERT_TRUE(RestsWith(QStringLiteral("VEL-1 N17; Считано записей: 3")));
    EXPECT_EQ(meter.Taken("ident"), 2);
}

TEST_F(UsbLinkWindowTest, ExitInTheMiddleOfAFullReadEndsTheWorkerFirst) {
    meter.Set("VELSIM_RECORDS", "2677");
    meter.Set("VELSIM_FAULTS", "record:trickle=1/2");  // every record 2 ms after the one before
    Start();
    ASSERT_TRUE(PumpUntil([&] { return form->ProgressBar1->value() > 100; }));
    ASSERT_EQ(WorkerThreads(), 1);

    QElapsedTimer exiting;
    exiting.start();
    form->AExit->trigger();
    const qint64 took = exiting.elapsed();

    // Far less in fact (scripts/bench); a worker that finished the read first
    // would take over five seconds.
    EXPECT_LT(took, 3000) << "exit took " << took << " ms";
    EXPECT_EQ(env.processExit.codes, std::vector<int>{0});
    // By the time the process would end, nothing of the worker runs any more.
    EXPECT_EQ(form->BMThreadUSB, nullptr);
    EXPECT_EQ(WorkerThreads(), 0);
    EXPECT_FALSE(LibUSB.isLibraryLoaded());
    EXPECT_EQ(meter.OpenHandles(), 0);
}

TEST_F(UsbLinkWindowTest, ExitDuringTheRenderingOfAReadWaitsForItsEnd) {
    meter.Set("VELSIM_RECORDS", "2677");
    meter.Set("VELSIM_LATENCY", "0");
    Start();
    // The rendering processes events: Exit comes in while the worker waits
    // for it.
    bool pressed = false;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        const TStringGrid& grid = form->Grid();
        if (!pressed && grid.RowCount() == 2679 && grid.Cells(1, 2678).isEmpty()) {
            pressed = true;
            form->AExit->trigger();
            EXPECT_TRUE(env.processExit.codes.empty());  // not from inside the rendering
        }
    });
    press.start(0);
    ASSERT_TRUE(PumpUntil([&] { return !env.processExit.codes.empty(); }));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(env.processExit.codes, std::vector<int>{0});
    EXPECT_EQ(form->BMThreadUSB, nullptr);
    EXPECT_FALSE(form->Grid().Cells(1, 2678).isEmpty());  // the rendering went to its end
}

TEST_F(UsbLinkWindowTest, ExitWhileTheWorkerRestsIsQuick) {
    meter.Set("VELSIM_RECORDS", "3");
    Start();
    ASSERT_TRUE(RestsWith(QStringLiteral("VEL-1 N17; Считано записей: 3")));
    QElapsedTimer exiting;
    exiting.start();
    form->AExit->trigger();
    EXPECT_LT(exiting.elapsed(), 3000);  // about 10 ms in fact (scripts/bench)
    EXPECT_FALSE(LibUSB.isLibraryLoaded());
    EXPECT_EQ(env.processExit.codes, std::vector<int>{0});
}

}  // namespace
