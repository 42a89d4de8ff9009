// Saves and exports onto a file system that is full: the old file stays as it
// was, nothing half-written is left, and the failure is told. The file
// system is a small tmpfs the test mounts where it may (as root); elsewhere
// the tests are skipped.

#include "output/MeasurementReport.h"
#include "platform/WholeFileWrite.h"
#include "report/ReportExport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/mount.h>

namespace {

// A tmpfs of 8 KiB (two pages) on a folder of its own, unmounted when it goes.
class SmallDisk {
public:
    SmallDisk() {
        path_ = folder_.filePath(QStringLiteral("disk"));
        QDir().mkpath(path_);
        mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, "size=8k") == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    QString File(const char* name) const { return path_ + QLatin1Char('/') + QLatin1String(name); }
    QStringList Files() const { return QDir(path_).entryList(QDir::Files | QDir::Hidden); }

private:
    QTemporaryDir folder_;
    QString path_;
    bool mounted_ = false;
};

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

}  // namespace
