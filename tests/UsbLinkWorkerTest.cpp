#include "protocol/UsbLinkWorker.h"

#include "archive/Archive.h"
#include "protocol/DeviceRecord.h"
#include "protocol/UsbWorkerThread.h"
#include "support/CapturedLinkLog.h"
#include "support/DirectWorkerThread.h"
#include "support/RecordingMainView.h"
#include "support/Records.h"
#include "support/SimulatedUsbMeter.h"
#include "transport/LibUsbWin32.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

const QString FormatError =
    QStringLiteral("Неверный формат данных, возможно версия прибора не соответствует программе");
const QString NotConnected = QStringLiteral(
    "Прибор не подключен к шине USB или выключен. Включите прибор, подключите его к шине USB и перезапустите "
    "программу.");
const QString Green = QStringLiteral("SetLinkColour: %1").arg(clLime);
const QString Red = QStringLiteral("SetLinkColour: %1").arg(clRed);
const QString Grey = QStringLiteral("SetLinkColour: %1").arg(clBtnFace);

const std::vector<TMeasurement> ThreeRecords = {
    MakeRecord(1, 9, 5, 14, 3, 3, 11, 2345.6f, 1, 125.4f),
    MakeRecord(2, 10, 30, 0, 4, 3, 11, 2100.0f, 2, -5.5f),
    MakeRecord(3, 23, 59, 59, 31, 12, 24, 1987.25f, 0, 160.0f),
};

struct WorkerRig {
    WorkerRig() {
        meter.Set("VELSIM_LATENCY", "0");
        meter.Set("VELSIM_IDENT", "VEL-1 N17");
        // An archive from before the read, to tell what a read left in place.
        for (int i = 0; i < 7; ++i)
            archive->Records[i] = MakeRecord(static_cast<std::uint16_t>(100 + i), 0, 0, 0, 1, 1, 20, 1.0f, 0, 0.0f);
        archive->Count = 7;
    }

    // The meter holds these records, from an archive file.
    void HoldRecords(const std::vector<TMeasurement>& records) {
        QFile file(folder.filePath(QStringLiteral("meter.Vel")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(records.data()),
                   static_cast<qint64>(records.size() * sizeof(TMeasurement)));
        file.close();
        meter.Set("VELSIM_ARCHIVE", file.fileName().toLocal8Bit().constData());
    }

    // Passes from a Read request until the worker rests again.
    void ReadArchive() {
        state = LinkStates::FindMeter;
        for (int pass = 0; pass < 10 && state != LinkStates::Idle; ++pass)
            worker.Pass();
        ASSERT_EQ(state, LinkStates::Idle);
    }

    using Settings = std::vector<std::pair<const char*, const char*>>;
    // The first read of the run, from a meter set up so.
    void FirstReadWith(const Settings& settings) {
        for (const auto& [name, value] : settings)
            meter.Set(name, value);
        ASSERT_EQ(usb.Initialize(), 0);
        ReadArchive();
    }

    bool Called(const QString& call) const { return view.calls.contains(call); }

    QTemporaryDir folder;
    SimulatedUsbMeter meter;
    LibUsbWin32 usb;
    DirectWorkerThread thread;
    RecordingMainView view;
    std::unique_ptr<TArchive> archive = std::make_unique<TArchive>();
    TLinkState state{LinkStates::FindMeter};
    TScreenBuffer screen;
    UsbLinkWorker worker{usb, thread, view, *archive, state, screen};
};

TEST(UsbLinkWorkerTest, ReadHandsOverEveryChangeInOrder) {
    WorkerRig rig;
    rig.HoldRecords(ThreeRecords);
    ASSERT_EQ(rig.usb.Initialize(), 0);
    rig.ReadArchive();

    const QString ident = QStringLiteral("VEL-1 N17");
    // At the first read the progress bar is still visible from the window's
    // design, and keeps its range until the count sets the maximum.
    const QStringList expected = {
        Green,
        QStringLiteral("SetStatusText: ") + ident,
        QStringLiteral("SetStatusText: VEL-1 N17; Чтение параметров..."),
        QStringLiteral("ClearTable"),
        QStringLiteral("SetProgressRange: 0 3"),
        QStringLiteral("SetStatusText: VEL-1 N17; Чтение результатов..."),
        Green,
        QStringLiteral("SetProgressPosition: 1"),
        QStringLiteral("SetProgressPosition: 2"),
        QStringLiteral("SetProgressPosition: 3"),
        QStringLiteral("ShowArchive"),
        QStringLiteral("SetStatusText: VEL-1 N17; Считано записей: 3"),
        QStringLiteral("SetStatusPanel1Text: "),
        QStringLiteral("SetProgressVisible: 0"),
        Grey,
    };
    EXPECT_EQ(rig.view.calls, expected);
    EXPECT_EQ(rig.worker.DeviceIdent(), ident);
    EXPECT_EQ(rig.thread.pauses, (std::vector<std::uint32_t>{80, 100}));
    ASSERT_EQ(rig.archive->Count, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&rig.archive->Records[i], &ThreeRecords[static_cast<std::size_t>(i)], 24), 0) << i;
    EXPECT_FALSE(rig.usb.isDeviceOpened());

    // The next read starts with the progress bar hidden: it is set up anew.
    rig.view.calls.clear();
    rig.view.progressPosition = 17;
    rig.ReadArchive();
    EXPECT_EQ(rig.view.calls.mid(0, 5), (QStringList{
                                            QStringLiteral("SetProgressRange: 0 1000"),
                                            QStringLiteral("SetProgressPosition: 0"),
                                            QStringLiteral("SetProgressVisible: 1"),
                                            QStringLiteral("SetStatusPanel1Text: "),
                                            Green,
                                        }));
    EXPECT_EQ(rig.meter.Taken("ident"), 2);
}

TEST(UsbLinkWorkerTest, FailedReadsShowWhyAndKeepWhatTheySay) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> settings;
        QString status;
        int count;          // Archive.Count afterwards; 7 before the read
        bool tableCleared;  // the count step was reached
    } cases[] = {
        {"count answer of length 4", {{"VELSIM_FAULTS", "count:length=4"}}, FormatError, 7, true},
        {"silent meter", {{"VELSIM_FAULTS", "ident:no-answer"}}, QStringLiteral("LibUsb: Тайм-аут"), 7, false},
        {"time-out after 5 records",
         {{"VELSIM_RECORDS", "20"}, {"VELSIM_FAULTS", "record:timeout-after=5"}},
         QStringLiteral("LibUsb: Тайм-аут"),
         5,
         true},
        {"time-out at the first record",
         {{"VELSIM_RECORDS", "20"}, {"VELSIM_FAULTS", "record:timeout-after=0"}},
         QStringLiteral("LibUsb: Тайм-аут"),
         0,
         true},
        // A part larger than the 200-byte record buffer, or smaller than a
        // record: a meter this program does not know; nothing is stored.
        {"record size 201", {{"VELSIM_RECORD_SIZE", "201"}}, FormatError, 7, true},
        {"record size 23", {{"VELSIM_RECORD_SIZE", "23"}}, FormatError, 7, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        ASSERT_NO_FATAL_FAILURE(rig.FirstReadWith(c.settings));

        EXPECT_EQ(rig.view.status, c.status);
        EXPECT_EQ(rig.view.calls.last(), QStringLiteral("SetProgressVisible: 0"));
        EXPECT_TRUE(rig.Called(Red));
        EXPECT_FALSE(rig.Called(QStringLiteral("ShowArchive")));
        EXPECT_EQ(rig.Called(QStringLiteral("ClearTable")), c.tableCleared);
        EXPECT_EQ(rig.archive->Count, c.count);
        EXPECT_FALSE(rig.usb.isDeviceOpened());

        // The meter's leftovers were drained: a read asked for again is clean.
        rig.meter.Set("VELSIM_FAULTS", nullptr);
        rig.meter.Set("VELSIM_RECORD_SIZE", nullptr);
        rig.view.calls.clear();
        rig.ReadArchive();
        EXPECT_TRUE(rig.Called(QStringLiteral("ShowArchive")));
        EXPECT_FALSE(rig.Called(Red));
    }
}

TEST(UsbLinkWorkerTest, AnswersThatAreNoFailure) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> settings;
        QString status;
        int count;
        bool shown;
        bool answerTaken = true;  // all the meter sent was read
    } cases[] = {
        {"no records", {{"VELSIM_RECORDS", "0"}}, QStringLiteral("VEL-1 N17; Архив пуст"), 7, false},
        // The count says there are records, the block brings none: the archive
        // before the read is shown again. (This meter sends its records all
        // the same: they are left for the next command to stumble over.)
        {"block of no records",
         {{"VELSIM_RECORDS", "3"}, {"VELSIM_FAULTS", "record:length=0"}},
         QStringLiteral("VEL-1 N17; Считано записей: 7"),
         7,
         true,
         false},
        {"negative record count in the block",
         {{"VELSIM_RECORDS", "3"}, {"VELSIM_FAULTS", "record:length=-3"}},
         QStringLiteral("VEL-1 N17; Считано записей: 7"),
         7,
         true,
         false},
        // The first ones are kept, the rest read and dropped.
        {"more records than the archive holds",
         {{"VELSIM_RECORDS", "2700"}},
         QStringLiteral("VEL-1 N17; Считано записей: 2677"),
         2677,
         true},
        {"largest record size", {{"VELSIM_RECORDS", "4"}, {"VELSIM_RECORD_SIZE", "200"}},
         QStringLiteral("VEL-1 N17; Считано записей: 4"), 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        ASSERT_NO_FATAL_FAILURE(rig.FirstReadWith(c.settings));

        EXPECT_EQ(rig.view.status, c.status);
        EXPECT_EQ(rig.archive->Count, c.count);
        EXPECT_EQ(rig.Called(QStringLiteral("ShowArchive")), c.shown);
        EXPECT_EQ(rig.view.calls.last(), Grey);
        EXPECT_FALSE(rig.Called(Red));
        EXPECT_FALSE(rig.usb.isDeviceOpened());

        if (!c.answerTaken)
            continue;
        // Nothing of the answer was left behind for the next command.
        rig.meter.Set("VELSIM_FAULTS", nullptr);
        rig.view.calls.clear();
        rig.ReadArchive();
        EXPECT_FALSE(rig.Called(Red));
    }
}

TEST(UsbLinkWorkerTest, IdentificationIsCutTo63Characters) {
    WorkerRig rig;
    const QByteArray text(100, 'A');
    rig.meter.Set("VELSIM_IDENT", text.constData());
    ASSERT_EQ(rig.usb.Initialize(), 0);
    rig.ReadArchive();
    EXPECT_EQ(rig.worker.DeviceIdent(), QString(63, QLatin1Char('A')));
}

TEST(UsbLinkWorkerTest, SearchRepeatsUntilTheMeterIsPluggedIn) {
    WorkerRig rig;
    rig.meter.Set("VELSIM_ABSENT", "1");
    ASSERT_EQ(rig.usb.Initialize(), 0);
    rig.worker.Pass();
    rig.worker.Pass();
    EXPECT_EQ(rig.state, LinkStates::FindMeter);
    EXPECT_EQ(rig.view.calls, QStringList(2, QStringLiteral("SetStatusAndHideProgress: ") + NotConnected));

    rig.meter.Set("VELSIM_ABSENT", "0");
    rig.worker.Pass();
    EXPECT_EQ(rig.state, LinkStates::Identification);
}

TEST(UsbLinkWorkerTest, ScreenImageFillsTheHandedOverBuffer) {
    const struct {
        const char* name;
        int imageLength;  // bytes the meter sends
        int changed;      // bytes of the buffer that change
    } cases[] = {
        {"whole image", 9600, 9600},
        {"longer than the buffer", 12000, 9600},
        {"short image", 100, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerRig rig;
        QByteArray image(c.imageLength, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 7 + 1);
        QFile file(rig.folder.filePath(QStringLiteral("screen.bin")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image);
        file.close();
        rig.meter.Set("VELSIM_SCREEN", file.fileName().toLocal8Bit().constData());
        ASSERT_EQ(rig.usb.Initialize(), 0);

        auto buffer = std::make_shared<TScreenImage>();
        buffer->fill(0xEE);
        rig.screen.Store(buffer);
        rig.state = LinkStates::ScreenImage;
        rig.worker.Pass();

        EXPECT_EQ(rig.state, LinkStates::Idle);
        for (int i = 0; i < ScreenImageSize; ++i) {
            const std::uint8_t expected = i < c.changed ? static_cast<std::uint8_t>(image[i]) : 0xEE;
            ASSERT_EQ((*buffer)[static_cast<std::size_t>(i)], expected) << i;
        }
        EXPECT_EQ(rig.view.calls, (QStringList{QStringLiteral("SetStatusText: Чтение образа экрана..."), Green,
                                               QStringLiteral("SetStatusText: Образ экрана считан"), Grey}));
        EXPECT_FALSE(rig.usb.isDeviceOpened());
    }
}

TEST(UsbLinkWorkerTest, ScreenRequestWaitsForTheMeterAndNeedsNoBuffer) {
    WorkerRig rig;
    rig.meter.Set("VELSIM_ABSENT", "1");
    ASSERT_EQ(rig.usb.Initialize(), 0);
    rig.state = LinkStates::ScreenImage;
    rig.worker.Pass();
    EXPECT_EQ(rig.state, LinkStates::ScreenImage);

    // No buffer was handed over: the image is read and dropped.
    rig.meter.Set("VELSIM_ABSENT", "0");
    rig.worker.Pass();
    EXPECT_EQ(rig.state, LinkStates::Idle);
    EXPECT_EQ(rig.meter.Taken("screen"), 1);
}

TEST(UsbLinkWorkerTest, RunLoadsTheLibraryReadsAtOnceAndClosesAtTheEnd) {
    WorkerRig rig;
    rig.HoldRecords(ThreeRecords);
    CapturedLinkLog log;
    rig.thread.stopWhen = [&] { return rig.state == LinkStates::Idle; };
    rig.worker.Execute();

    EXPECT_EQ(rig.archive->Count, 3);
    EXPECT_FALSE(rig.usb.isLibraryLoaded());
    EXPECT_EQ(rig.meter.OpenHandles(), 0);
    ASSERT_GE(rig.thread.pauses.size(), 2u);
    EXPECT_EQ(rig.thread.pauses[0], 500u);
    EXPECT_EQ(rig.thread.pauses[1], 50u);

    const QStringList entries = log.Entries();
    const QStringList start = {
        QStringLiteral("============================="),
        QStringLiteral("=    Initialize LibUsb      ="),
        QStringLiteral("============================="),
        QStringLiteral("LoadLibrary(\"libusb-0.1.so.4\");"),
        QStringLiteral("LibUsb loaded!"),
        QStringLiteral("Library initialize..."),
        QStringLiteral("Library initialized!"),
        QStringLiteral("Find buses and devices..."),
        QStringLiteral("Buses and devices found!"),
        QStringLiteral("Device search..."),
        QStringLiteral("Device found!"),
        QStringLiteral("LibUsb WriteData(), 2 byte(s), OK (01 FE)"),
    };
    EXPECT_EQ(entries.mid(0, start.size()), start);
    EXPECT_EQ(entries.mid(entries.size() - 5),
              (QStringList{QStringLiteral("Device closed! (DeviceHandle=NULL)"), QStringLiteral("--------------"),
                           QStringLiteral("LibUsb close..."), QStringLiteral("LibUsb closed!"),
                           QStringLiteral("=============================")}));
}

TEST(UsbLinkWorkerTest, RunEndsSilentlyWithoutTheLibrary) {
    WorkerRig rig;
    LibUsbWin32 missing(QStringLiteral("/nonexistent/libusb-0.1.so.4"));
    UsbLinkWorker worker(missing, rig.thread, rig.view, *rig.archive, rig.state, rig.screen);
    worker.Execute();  // would loop for ever if it went on
    EXPECT_TRUE(rig.view.calls.isEmpty());
    EXPECT_EQ(rig.thread.pauses, std::vector<std::uint32_t>{500});
}

TEST(UsbLinkWorkerTest, StopPartWayThroughTheRecordsEndsTheRunAtOnce) {
    WorkerRig rig;
    rig.meter.Set("VELSIM_RECORDS", "2677");
    rig.thread.stopWhen = [&] { return rig.view.progressPosition >= 10; };
    rig.worker.Execute();

    EXPECT_EQ(rig.view.progressPosition, 10);
    EXPECT_FALSE(rig.Called(QStringLiteral("ShowArchive")));
    EXPECT_EQ(rig.archive->Count, 7);
    EXPECT_FALSE(rig.usb.isLibraryLoaded());
    EXPECT_EQ(rig.meter.OpenHandles(), 0);
}

}  // namespace
