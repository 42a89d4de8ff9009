#include "ui/TForm1.h"

#include "app/AppPaths.h"
#include "app/Settings.h"
#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "platform/CommApi.h"
#include "platform/ComPortList.h"
#include "platform/MessageBox.h"
#include "protocol/DeviceRecord.h"
#include "sim/GeneratedArchive.h"
#include "support/FakeEnvironment.h"
#include "support/LoopbackPlug.h"
#include "support/PumpUntil.h"
#include "support/Records.h"
#include "support/SimulatedSerialMeter.h"
#include "support/UiHeartbeat.h"
#include "transport/LibUsbWin32.h"
#include "transport/TComm.h"
#include "ui/StatusBar.h"
#include "ui/TfrmConfig.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QFile>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

namespace {

using namespace MessageBox;

const QString PortMessage = QStringLiteral(
    "Ошибка COM-порта. Порт не работает или занят другой программой.\n"
    "Проверьте настройку параметров\n"
    "или закройте программу, использующую выбранный COM-порт.");
const QString WriteFailed = QStringLiteral("Ошибка записи команды в COM-порт.");
const QString NoMeterOnCom5 =
    QStringLiteral("Прибор не подключен к порту COM5.\nСвязь с прибором невозможна.\nПродолжить выполнение?");

// The main window on COM5, which is the serial simulator's pseudo-terminal
// linked at ports/com5 in the program's folder, through the program's own
// termios calls.
class ComLinkWindowTest : public ::testing::Test {
protected:
    ComLinkWindowTest() {
        env.WriteSettings("[Config]\nCOMPortNumber=5\n");
        for (int i = 0; i < 4; ++i)
            Archive.Records[i] = MakeRecord(static_cast<std::uint16_t>(100 + i), 0, 0, 0, 1, 1, 20, 1.0f, 0, 0.0f);
        Archive.Count = 4;
    }
    ~ComLinkWindowTest() override {
        form.reset();
        Archive.Count = 0;
    }

    // Starts the simulator with these settings, then the window. Without
    // plug the line test finds no meter on the terminal (it has no modem
    // lines) and the question is answered with Ignore, which leaves the port
    // open.
    void Start(const SimulatedSerialMeter::Settings& settings, bool plug = false) {
        meter = std::make_unique<SimulatedSerialMeter>(VEL_SERIAL_SIMULATOR, settings,
                                                       env.folder.filePath(QStringLiteral("ports/com5")).toStdString());
        Environment environment = env.Get();
        environment.commApi = plug ? static_cast<CommApi*>(&loopback) : termios.get();
        environment.comPorts = &ports;
        if (!plug)
            env.messageBoxes.answers = {IDIGNORE};
        form = std::make_unique<TForm1>(environment);
        ASSERT_TRUE(form->Comm1->Enabled());
        env.messageBoxes.shown.clear();
    }

    // Read, as the user gives it, with a timer on the UI thread counting
    // how often it fired meanwhile. A read that never ends is ended by Exit
    // after 30 s, so that a fault fails the test instead of hanging it.
    void Read() {
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [this] { ++ticks; });
        ticker.start(10);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] { form->AExit->trigger(); });
        watchdog.start(30000);
        form->ARead->trigger();
    }

    QString Status() const { return form->StatusBar1->PanelText(0); }
    std::vector<QString> Boxes() const {
        std::vector<QString> texts;
        for (const auto& box : env.messageBoxes.shown)
            texts.push_back(box.text);
        return texts;
    }

    FakeEnvironment env;
    std::unique_ptr<CommApi> termios = MakeTermiosCommApi([](const QString& name) { return CommDeviceFor(name, DataDir); });
    LoopbackPlug loopback{*termios};
    SystemComPorts ports{[] { return DataDir; }};
    std::unique_ptr<SimulatedSerialMeter> meter;
    std::unique_ptr<TForm1> form;
    int ticks = 0;
};

TEST_F(ComLinkWindowTest, StartUpAsksAboutAMeterTheTerminalCannotShow) {
    meter = std::make_unique<SimulatedSerialMeter>(VEL_SERIAL_SIMULATOR, SimulatedSerialMeter::Settings{},
                                                   env.folder.filePath(QStringLiteral("ports/com5")).toStdString());
    Environment environment = env.Get();
    environment.commApi = termios.get();
    environment.comPorts = &ports;
    env.messageBoxes.answers = {IDIGNORE};
    form = std::make_unique<TForm1>(environment);
    EXPECT_EQ(Boxes(), (std::vector<QString>{NoMeterOnCom5}));
    EXPECT_TRUE(form->Comm1->Enabled()) << "Ignore leaves the port open";
}

TEST_F(ComLinkWindowTest, ReadsTheChainTheMeterGivesAndShowsIt) {
    Start({{"VELSIM_RECORDS", "3"}, {"VELSIM_NEXT", "5,9,65535"}, {"VELSIM_IDENT_CHARS", "150311"}});
    Read();
    // The meter answers only the indices its chain gives: 65535, 5, 9.
    EXPECT_EQ(Archive.Count, 3);
    EXPECT_EQ(form->Grid().RowCount(), 5);
    EXPECT_EQ(form->Grid().Cells(0, 1), QStringLiteral("(3)"));
    EXPECT_EQ(Status(), QStringLiteral("Считано из прибора записей: 2"));
    EXPECT_EQ(form->ProgressBar1->maximum(), 3);
    EXPECT_EQ(form->ProgressBar1->value(), 3);
    EXPECT_TRUE(env.messageBoxes.shown.empty());
    EXPECT_GT(ticks, 0) << "the window went on serving its events";
}

TEST_F(ComLinkWindowTest, OutcomesOfAReadOverTheLine) {
    struct Case {
        const char* name;
        SimulatedSerialMeter::Settings settings;
        int count;
        QString status;
    };
    const Case cases[] = {
        {"two announced, no end mark", {{"VELSIM_RECORDS", "3"}, {"VELSIM_COUNT", "2"}}, 2,
         "Считано из прибора записей: 2"},
        {"no records", {{"VELSIM_RECORDS", "0"}}, 4, "Прибор не содержит записей"},
        {"a record trickling in a byte every 100 ms",
         {{"VELSIM_RECORDS", "1"}, {"VELSIM_FAULTS", "record:trickle=1/100"}}, 1, "01.01.2024"},
        {"a record that stops for 160 ms, asked again",
         {{"VELSIM_RECORDS", "2"}, {"VELSIM_FAULTS", "record@1:trickle=14/160"}}, 2, "Считано из прибора записей: 1"},
        {"wrong checksums and silence",
         {{"VELSIM_RECORDS", "3"},
          {"VELSIM_FAULTS", "ident@1:wrong-checksum; count@1:no-answer; record@2:wrong-checksum; record@3:no-answer"}},
         3, "Считано из прибора записей: 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        meter.reset();
        Archive.Count = 4;
        Start(c.settings);
        Read();
        EXPECT_EQ(Archive.Count, c.count);
        EXPECT_EQ(Status(), c.status);
        EXPECT_TRUE(env.messageBoxes.shown.empty()) << "repeated silently";
    }
}

TEST_F(ComLinkWindowTest, ASilentMeterKeepsTheWindowUsableAndExitEndsTheWait) {
    Start({{"VELSIM_FAULTS", "ident:no-answer"}});
    bool nestedReturned = false;
    QTimer::singleShot(300, [&] {
        // Read while a read-out waits: returns at once.
        form->ARead->trigger();
        nestedReturned = true;
        form->AExit->trigger();
    });
    Read();
    EXPECT_TRUE(nestedReturned);
    EXPECT_EQ(env.processExit.codes, (std::vector<int>{0}));
    EXPECT_FALSE(form->Comm1->Enabled()) << "Exit closed the port";
    // The read-out, still waiting when the port went, ends with the port message.
    EXPECT_EQ(Boxes(), (std::vector<QString>{PortMessage}));
    EXPECT_EQ(Archive.Count, 4);
    EXPECT_GT(ticks, 10);
}

// What the meter may do wrong, end to end through the window on the line:
// the window keeps serving its events, the status line tells how far the read
// came, the archive holds exactly the records read, and Exit ends it all.
struct LineFault {
    const char* name;
    SimulatedSerialMeter::Settings settings;  // on top of three records
    // Exit this long after Read, for a meter that never lets the read end;
    // 0: after the read has ended by itself.
    int exitAfterMs;
    // When the archive holds this many records, the meter is unplugged.
    int unplugAt;
    int count;  // records read from the meter; -1: the archive of before is kept
    QString status;
    std::vector<QString> boxes;
};

class ComFaultMatrixTest : public ComLinkWindowTest {
protected:
    void ExpectOutcome(const LineFault& c) {
        SCOPED_TRACE(c.name);
        form.reset();
        meter.reset();
        Archive.Count = 4;
        SimulatedSerialMeter::Settings settings = {{"VELSIM_RECORDS", "3"}};
        for (const auto& [name, value] : c.settings)
            settings[name] = value;
        Start(settings);
        env.processExit.codes.clear();

        UiHeartbeat heartbeat;
        QTimer unplug;
        QObject::connect(&unplug, &QTimer::timeout, [&] {
            if (meter && Archive.Count >= c.unplugAt) {
                meter->Stop();
                unplug.stop();
            }
        });
        if (c.unplugAt >= 0)
            unplug.start(1);
        if (c.exitAfterMs > 0)
            QTimer::singleShot(c.exitAfterMs, form.get(), [this] { form->AExit->trigger(); });
        Read();
        if (c.exitAfterMs == 0) {
            EXPECT_TRUE(env.processExit.codes.empty()) << "the read ended by itself";
            form->AExit->trigger();
        }

        EXPECT_EQ(env.processExit.codes, (std::vector<int>{0}));
        EXPECT_FALSE(form->Comm1->Enabled()) << "Exit closed the port";
        EXPECT_GT(heartbeat.Beats(), 0);
        EXPECT_LT(heartbeat.LongestGapMs(), ResponsiveGapMs);
        EXPECT_EQ(Status().toStdString(), c.status.toStdString());
        EXPECT_EQ(Boxes(), c.boxes);
        if (c.count < 0) {
            EXPECT_EQ(Archive.Count, 4);
            EXPECT_EQ(Archive.Records[3].Number, 103);
            return;
        }
        ASSERT_EQ(Archive.Count, c.count);
        const std::vector<ArchiveEntry> held = GenerateArchive(std::stoi(settings["VELSIM_RECORDS"]));
        for (int i = 0; i < c.count; ++i) {
            DeviceRecord read = ToDeviceRecord(Archive.Records[i]);
            read[9] = held[i].record[9];  // the slot's own byte: a read keeps it
            ASSERT_EQ(read, held[i].record) << "record " << i;
        }
        EXPECT_EQ(form->Grid().RowCount(), c.count + 2) << "what was read is shown";
    }
};

TEST_F(ComFaultMatrixTest, EachFaultOfTheMeterEndsAsItShould) {
    const QString two = QStringLiteral("Считано из прибора записей: 2");
    // Each request asked again is a frame of its own: silence from the fourth
    // record frame on, for far longer than the test waits.
    std::string silentAfterThree;
    for (int frame = 4; frame < 400; ++frame)
        silentAfterThree += "record@" + std::to_string(frame) + ":no-answer;";
    const LineFault cases[] = {
        {"silence", {{"VELSIM_FAULTS", "ident:no-answer"}}, 1000, -1, -1, {}, {PortMessage}},
        {"a short answer", {{"VELSIM_FAULTS", "record@2:short=10"}}, 0, -1, 3, two, {}},
        {"a wrong checksum", {{"VELSIM_FAULTS", "count@1:wrong-checksum; record@3:wrong-checksum"}}, 0, -1, 3, two, {}},
        {"a trickling answer", {{"VELSIM_FAULTS", "record:trickle=4/30"}}, 0, -1, 3, two, {}},
        {"silent after 3 records", {{"VELSIM_RECORDS", "5"}, {"VELSIM_FAULTS", silentAfterThree}}, 1500, -1, 3,
         QStringLiteral("Считано из прибора записей: 3"), {PortMessage}},
        // Every write fails from then on: told once, and the read waits for
        // the meter until Exit.
        {"unplugged in the middle of a read", {{"VELSIM_RECORDS", "50"}, {"VELSIM_FAULTS", "record:trickle=7/10"}},
         1500, 5, 5, QStringLiteral("Считано из прибора записей: 5"), {WriteFailed, PortMessage}},
        {"garbage", {{"VELSIM_FAULTS", "ident@1:garbage=1; record@2:garbage=2"}}, 0, -1, 3, two, {}},
        // Answers to requests asked again come late, after the next request.
        {"slower than the time-outs", {{"VELSIM_LATENCY", "400"}}, 0, -1, 3, two, {}},
    };
    for (const LineFault& c : cases)
        ExpectOutcome(c);
}

TEST_F(ComFaultMatrixTest, AMeterWithMoreRecordsThanTheArchiveHoldsFillsItAndStops) {
    ExpectOutcome({"more records than the archive holds",
                   {{"VELSIM_RECORDS", "2700"}, {"VELSIM_LATENCY", "6"}},
                   0,
                   -1,
                   2677,
                   QStringLiteral("Считано из прибора записей: 2677"),
                   {}});
}

TEST_F(ComLinkWindowTest, ChoosingTheMeterInThePortDialogOpensItForTheNextRead) {
    // With a meter's cable the line test passes: no question at start-up.
    Start({{"VELSIM_RECORDS", "2"}}, true);
    TfrmConfig dialog(form->ComPorts(), LibUSB, form.get());
    const int item = dialog.ComboBoxCOMPortNum->findText(QStringLiteral("COM5"));
    ASSERT_GT(item, 0);
    dialog.ComboBoxCOMPortNum->setCurrentIndex(item);
    dialog.ComboBoxCOMPortNumChange();
    EXPECT_EQ(dialog.LabelCOMPortHelp->text(), QStringLiteral("COM5 - OK"));
    EXPECT_EQ(dialog.LabelCOMPortHelp->x(), 28);
    EXPECT_EQ(ReadSetting(QStringLiteral("Config"), QStringLiteral("COMPortNumber"), {}, 9), QStringLiteral("5"));
    EXPECT_TRUE(form->Comm1->Enabled());

    Read();
    EXPECT_EQ(Archive.Count, 2);
    EXPECT_TRUE(env.messageBoxes.shown.empty());
}

// Start-up and shut-down on the test environment's fake serial devices: only
// COM1 is present, with a meter attached.
class ComStartUpTest : public ::testing::Test {
protected:
    void Start(const QByteArray& settings) {
        env.WriteSettings(settings);
        form = std::make_unique<TForm1>(env.Get());
    }
    QByteArray SettingsFile() const {
        QFile file(env.SettingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int CreateFileCalls() const {
        const auto calls = env.commApi.Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), "CreateFile"));
    }

    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
};

TEST_F(ComStartUpTest, AMissingPortIsQuestionedAndTheAnswerDecides) {
    const QString missing =
        QStringLiteral("Выбранный COM-порт (COM7) не существует. \nЧтение из прибора невозможно.\nПродолжить выполнение?");
    const QString busy = QStringLiteral(
        "Выбранный COM-порт (COM7) открыт другой программой. \nЧтение из прибора невозможно.\nПродолжить выполнение?");
    struct Case {
        const char* name;
        std::deque<int> answers;
        std::vector<QString> questions;
        int opens;
        std::vector<int> exits;
    };
    const Case cases[] = {
        {"Ignore starts without a port", {IDIGNORE}, {missing}, 0, {}},
        // COM7 does not exist at all, so trying to open it finds it unavailable.
        {"Retry tries all the same", {IDRETRY, IDIGNORE}, {missing, busy}, 1, {}},
        {"Abort ends the program", {IDABORT}, {missing}, 0, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        env.commApi.ClearCalls();
        env.messageBoxes.shown.clear();
        env.messageBoxes.answers = c.answers;
        env.processExit.codes.clear();
        Start("[Config]\nCOMPortNumber=7\n");
        std::vector<QString> questions;
        for (const auto& box : env.messageBoxes.shown)
            questions.push_back(box.text);
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(CreateFileCalls(), c.opens);
        EXPECT_FALSE(form->Comm1->Enabled());
        EXPECT_EQ(env.processExit.codes, c.exits);
        EXPECT_FALSE(SettingsFile().contains("FormMain")) << "nothing saved";
    }
}

TEST_F(ComStartUpTest, NoStoredPortOpensComOneAndExitClosesIt) {
    Start({});
    EXPECT_TRUE(form->Comm1->Enabled());
    EXPECT_EQ(form->Comm1->DeviceName(), QStringLiteral("\\\\.\\COM1"));
    EXPECT_EQ(form->Comm1->BaudRate(), br115200);
    EXPECT_TRUE(SettingsFile().contains("COMPortNumber=1"));
    EXPECT_TRUE(env.messageBoxes.shown.empty());

    form->AExit->trigger();
    EXPECT_EQ(env.processExit.codes, (std::vector<int>{0}));
    EXPECT_FALSE(form->Comm1->Enabled());
    EXPECT_EQ(env.commApi.OpenHandles(), 0);
}

}  // namespace
