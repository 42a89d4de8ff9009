// The main window under random commands and keys, as an impatient user gives
// them, against the simulated meters on both links: open, save, read, copy,
// the print preview with its exports, the port dialog, the screen window,
// resizing, keys, exit and a new start. Nothing may crash, hang or leak, and
// the archive never holds more than it can.
//
// VEL_MONKEY_STEPS (500) and VEL_MONKEY_SEED (1) choose the run; a failing
// run prints the steps that led to it, VEL_MONKEY_TRACE every step as it comes.

#include "ui/TForm1.h"

#include "app/AppPaths.h"
#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "platform/CommApi.h"
#include "platform/ComPortList.h"
#include "platform/MessageBox.h"
#include "report/ReportExport.h"
#include "report/ReportPreview.h"
#include "support/FakeEnvironment.h"
#include "support/PumpUntil.h"
#include "support/Records.h"
#include "support/SimulatedSerialMeter.h"
#include "support/SimulatedUsbMeter.h"
#include "support/UiHeartbeat.h"
#include "ui/TfrmConfig.h"
#include "ui/StringGridView.h"
#include "ui/TfrmScreenshot.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <memory>
#include <random>
#include <string>

namespace {

int FromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

class Monkey {
public:
    Monkey(int steps, unsigned seed) : steps_(steps), random_(seed) {
        usbMeter_.Set("VELSIM_RECORDS", "30");
        usbMeter_.Set("VELSIM_LATENCY", "1");
        WriteFiles();
    }
    ~Monkey() {
        form_.reset();
        Archive.Count = 0;
    }

    // Runs every step from the event loop, so that steps also come while a
    // command waits in a loop of its own (a read-out, a modal dialog).
    bool Run() {
        Start();
        QTimer::singleShot(0, [this] { Step(); });
        // A hang, not a slow machine: far more than a step ever takes.
        return PumpUntil([this] { return done_; }, std::max(600000, steps_ * 100));
    }

    QString Trail() const {
        QString text;
        for (const QString& step : trail_)
            text += step + QLatin1Char('\n');
        return text;
    }

    int taken = 0;
    qint64 longestGapMs = 0;

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    QString File(const char* name) const { return env_.folder.filePath(QString::fromUtf8(name)); }

    void WriteFiles() const {
        auto archive = std::make_unique<TArchive>();
        FillPlausibleArchive(*archive);
        const auto write = [&](const char* name, const QByteArray& bytes) {
            QFile file(File(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write("small.Vel", QByteArray(reinterpret_cast<const char*>(archive->Records), 40 * 24));
        write("cut.Vel", QByteArray(reinterpret_cast<const char*>(archive->Records), 5 * 24 + 7));
        write("empty.Vel", {});
        QByteArray noise(24 * 60, '\0');
        std::mt19937 bytes(7);
        for (char& c : noise)
            c = static_cast<char>(bytes());
        write("noise.Vel", noise);
    }

    // A new window, on USB or on COM5 (the serial simulator) by turns.
    void Start() {
        usb_ = !usb_;
        serialMeter_.reset();
        if (usb_) {
            env_.WriteSettings("[Config]\nCOMPortNumber=USB\n[Debug]\nLogUSB=Y\n");
        } else {
            serialMeter_ = std::make_unique<SimulatedSerialMeter>(
                VEL_SERIAL_SIMULATOR, SimulatedSerialMeter::Settings{{"VELSIM_RECORDS", "12"}},
                env_.folder.filePath(QStringLiteral("ports/com5")).toStdString());
            env_.WriteSettings("[Config]\nCOMPortNumber=5\n");
        }
        Environment environment = env_.Get();
        environment.commApi = termios_.get();
        environment.comPorts = &ports_;
        // The line test finds no meter on the terminal: go on without.
        env_.messageBoxes.answers = {MessageBox::IDIGNORE};
        // The start-up serves events (the line test waits): no step while
        // there is no window yet.
        starting_ = true;
        env_.processExit.codes.clear();
        form_ = std::make_unique<TForm1>(environment);
        starting_ = false;
        env_.messageBoxes.answers.clear();
        Note(usb_ ? "start on USB" : "start on COM5");
    }

    void Note(const QString& step) {
        trail_.push_back(QString::number(taken) + QStringLiteral(": ") + step);
        if (trace_)
            std::fprintf(stderr, "monkey %s\n", qPrintable(trail_.back()));
        if (trail_.size() > 30)
            trail_.pop_front();
    }
    void Note(const char* step) { Note(QString::fromUtf8(step)); }

    void Step() {
        if (starting_ || exiting_) {
            // Exit, asked inside a hand-over of the USB worker, runs once the
            // hand-over is over; the window goes only then, and only where no
            // command waits below.
            if (exiting_ && !env_.processExit.codes.empty() && depth_ == 0) {
                form_.reset();
                exiting_ = false;
                if (finishing_) {
                    done_ = true;
                    return;
                }
                Start();
            }
            QTimer::singleShot(1, [this] { Step(); });
            return;
        }
        if (taken >= steps_) {
            Finish();
            return;
        }
        ++taken;
        // The next step is due whatever this one does, also inside a loop
        // this one enters; now and then after a pause, for reads to get on.
        QTimer::singleShot(Pick(10) == 0 ? 100 + Pick(300) : Pick(4), [this] { Step(); });
        if (QWidget* modal = QApplication::activeModalWidget())
            InDialog(modal);
        else
            InWindow();
        EXPECT_GE(Archive.Count, 0);
        EXPECT_LE(Archive.Count, ArchiveCapacity);
        longestGapMs = std::max(longestGapMs, heartbeat_.LongestGapMs());
    }

    // Every dialog and screen window closed, every command returned, then
    // Exit; the window goes as after every Exit.
    void Finish() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        } else if (form_->frmScreenshot) {
            form_->frmScreenshot->close();
        } else if (depth_ == 0) {
            finishing_ = true;
            Exit();
            Step();
            return;
        }
        QTimer::singleShot(1, [this] { Finish(); });
    }

    void Exit() {
        Command(form_->AExit, "exit");
        exiting_ = true;
    }

    // A command of the window that may run a loop of its own.
    void Command(QAction* action, const char* name) {
        Note(name);
        ++depth_;
        action->trigger();
        --depth_;
    }

    void AnswerFile(bool sometimesWrong) {
        const char* names[] = {"small.Vel", "cut.Vel", "empty.Vel", "noise.Vel", "missing.Vel",
                               "no/such/folder/x.Vel"};
        const int n = Pick(sometimesWrong ? 7 : 4);
        if (n == 6)
            env_.fileDialogs.answers = {std::nullopt};  // cancelled
        else
            env_.fileDialogs.answers = {File(names[n])};
    }

    void InWindow() {
        switch (Pick(14)) {
        case 0:
            AnswerFile(true);
            Command(form_->AOpen, "open");
            break;
        case 1:
            env_.fileDialogs.answers = {Pick(5) == 0 ? File("no/such/folder/saved") : File("saved")};
            Command(form_->ASave, "save");
            break;
        case 2:
        case 3: Command(form_->ARead, "read"); break;
        case 4: Command(form_->ACopyAll, "copy all"); break;
        case 5: Command(form_->ACopyCtrlC, "copy selected"); break;
        case 6: Command(form_->APrint, "print preview"); break;
        case 7: Command(form_->ATune, "port dialog"); break;
        case 8:
            if (usb_)
                Command(form_->AScreenshot, "screen window");
            break;
        case 9:
            if (form_->frmScreenshot) {
                Note("close the screen window");
                form_->frmScreenshot->close();
            }
            break;
        case 10: {
            const QSize size(200 + Pick(1400), 150 + Pick(1000));
            Note(QStringLiteral("resize to %1x%2").arg(size.width()).arg(size.height()));
            form_->resize(size);
            break;
        }
        case 11:
        case 12: Key(form_->StringGrid1); break;
        case 13:
            // Exit ends the process at once, whatever command waits below
            // it; a test cannot, so it exits only when none does.
            if (Pick(4) == 0 && depth_ == 0)
                Exit();
            break;
        }
    }

    void InDialog(QWidget* modal) {
        if (auto* preview = qobject_cast<TReportPreview*>(modal)) {
            const int n = Pick(10);
            if (n < 3) {
                const auto& formats = ExportFormats();
                const ExportFormat& format = formats[static_cast<std::size_t>(Pick(static_cast<int>(formats.size())))];
                env_.fileDialogs.answers = {Pick(6) == 0 ? File("no/such/folder/report") : File("report")};
                Note(QStringLiteral("export ") + format.extension);
                ++depth_;
                preview->Export(format);
                --depth_;
            } else if (n < 6) {
                Key(preview);
            } else {
                Note("close the preview");
                preview->close();
            }
            return;
        }
        if (auto* dialog = qobject_cast<TfrmConfig*>(modal)) {
            if (Pick(3) == 0 && dialog->ComboBoxCOMPortNum->count() > 0) {
                // USB only: a COM port here would be the machine's own.
                Note("port dialog: USB");
                dialog->ComboBoxCOMPortNum->setCurrentIndex(0);
                dialog->ComboBoxCOMPortNumChange();
            } else {
                Note("close the port dialog");
                dialog->close();
            }
            return;
        }
        Note("close a dialog");
        modal->close();
    }

    void Key(QWidget* target) {
        struct Press {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
        };
        const Press keys[] = {
            {Qt::Key_Down, Qt::NoModifier},     {Qt::Key_Up, Qt::NoModifier},   {Qt::Key_PageDown, Qt::NoModifier},
            {Qt::Key_End, Qt::ControlModifier}, {Qt::Key_Home, Qt::NoModifier}, {Qt::Key_Down, Qt::ShiftModifier},
            {Qt::Key_C, Qt::ControlModifier},   {Qt::Key_Insert, Qt::ControlModifier},
            {Qt::Key_R, Qt::ControlModifier},   {Qt::Key_R, Qt::AltModifier},   {Qt::Key_F1, Qt::NoModifier},
            {Qt::Key_Escape, Qt::NoModifier},   {Qt::Key_Return, Qt::NoModifier},
        };
        const Press& press = keys[Pick(static_cast<int>(std::size(keys)))];
        Note(QStringLiteral("key %1 %2").arg(press.key, 0, 16).arg(press.modifiers.toInt(), 0, 16));
        ++depth_;
        QTest::keyClick(target, press.key, press.modifiers);
        --depth_;
    }

    const int steps_;
    std::mt19937 random_;
    SimulatedUsbMeter usbMeter_;
    FakeEnvironment env_;
    std::unique_ptr<CommApi> termios_ =
        MakeTermiosCommApi([](const QString& name) { return CommDeviceFor(name, DataDir); });
    SystemComPorts ports_{[] { return DataDir; }};
    std::unique_ptr<SimulatedSerialMeter> serialMeter_;
    std::unique_ptr<TForm1> form_;
    UiHeartbeat heartbeat_;
    bool usb_ = false;
    bool done_ = false;
    bool starting_ = false;
    bool exiting_ = false;    // Exit asked, the window not yet gone
    bool finishing_ = false;  // and no new start after it
    int depth_ = 0;  // commands under way that serve events meanwhile
    std::deque<QString> trail_;
    const bool trace_ = qEnvironmentVariableIsSet("VEL_MONKEY_TRACE");
};

TEST(MonkeyTest, RandomCommandsAndKeysNeitherCrashNorHang) {
    const int steps = FromEnvironment("VEL_MONKEY_STEPS", 500);
    const auto seed = static_cast<unsigned>(FromEnvironment("VEL_MONKEY_SEED", 1));
    Monkey monkey(steps, seed);
    const bool finished = monkey.Run();
    EXPECT_TRUE(finished) << "hung after step " << monkey.taken << " of seed " << seed << ":\n"
                          << monkey.Trail().toStdString();
    EXPECT_EQ(monkey.taken, steps);
    EXPECT_LT(monkey.longestGapMs, ResponsiveGapMs) << monkey.Trail().toStdString();
    if (HasFailure())
        std::fprintf(stderr, "seed %u, the last steps:\n%s", seed, qPrintable(monkey.Trail()));
}

}  // namespace
