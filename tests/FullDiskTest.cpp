// Saves and exports onto a file system that is full: the old file stays as it
// was, nothing half-written is left, and the failure is told. The file
// system is a small tmpfs the test mounts where it may (as root); elsewhere
// the tests are skipped.

#include "output/MeasurementReport.h"
#include "platform/WholeFileWrite.h"
#include "report/ReportExport.h"
#include "platform/Profile.h"
#include "support/ReportFixtures.h"
#include "support/SmallDisk.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!disk.Mounted())
            GTEST_SKIP() << "no small file system can be mounted here";
        QFile old(disk.File("old"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        ASSERT_EQ(old.write(Old), Old.size());
    }

    const QByteArray Old = QByteArray(2 * 1024, 'o');  // a page, the other one free
    SmallDisk disk;
};

TEST_F(FullDiskTest, AWholeFileWriteThatDoesNotFitKeepsTheOldFile) {
    const QByteArray larger(200 * 1024, 'n');
    EXPECT_NE(WriteWholeFile(disk.File("old"), larger), FileWriteResult::Written);
    EXPECT_EQ(Read(disk.File("old")), Old);
    EXPECT_EQ(disk.Files(), QStringList{QStringLiteral("old")}) << "no temporary file left";

    // What fits is written, full disk or not.
    const QByteArray smaller(1024, 's');
    EXPECT_EQ(WriteWholeFile(disk.File("old"), smaller), FileWriteResult::Written);
    EXPECT_EQ(Read(disk.File("old")), smaller);
}

TEST_F(FullDiskTest, AnExportThatDoesNotFitKeepsTheOldFileAndSaysTheDiskMayBeFull) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(2677));
    for (const ExportFormat& format : ExportFormats()) {
        SCOPED_TRACE(format.extension.toStdString());
        const ExportResult result = ExportReport(format, report, disk.File("old"));
        EXPECT_EQ(result.error, ExportError::WriteFailed);
        EXPECT_EQ(ExportErrorText(result, disk.File("old")),
                  QStringLiteral("Не удаётся записать файл %1: данные не записаны (возможно, диск заполнен).")
                      .arg(disk.File("old")));
        EXPECT_EQ(Read(disk.File("old")), Old);
        EXPECT_EQ(disk.Files(), QStringList{QStringLiteral("old")}) << "no temporary file left";
    }
}

TEST_F(FullDiskTest, ASettingThatDoesNotFitKeepsTheSettingsFile) {
    const QByteArray settings = "[Config]\nCOMPortNumber=USB\n" + QByteArray(3 * 1024, ';') + "\n";
    {
        QFile file(disk.File("Vel.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(settings), settings.size());
    }
    // The new file needs room beside the old one until it replaces it.
    EXPECT_FALSE(Profile::WriteString(disk.File("Vel.ini"), QStringLiteral("Config"), QStringLiteral("COMPortNumber"),
                                      QStringLiteral("5")));
    EXPECT_EQ(Read(disk.File("Vel.ini")), settings);
    EXPECT_EQ(disk.Files(), (QStringList{QStringLiteral("old"), QStringLiteral("Vel.ini")}));
}

}  // namespace
