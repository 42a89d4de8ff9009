// The program run from a script: "vel --export OUT ARCHIVE.Vel", with no
// display, against what the preview's export writes for the same archive.

#include "archive/Archive.h"
#include "archive/ArchiveFile.h"
#include "archive/StringGrid.h"
#include "archive/TableRendering.h"
#include "output/MeasurementReport.h"
#include "report/ReportExport.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

// The program with no display and no platform chosen: it must choose itself.
Finished Vel(const QStringList& arguments, const QString& folder) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(VEL_PROGRAM), arguments);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QByteArray Content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString PdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

class BatchExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        auto archive = std::make_unique<TArchive>();
        FillPlausibleArchive(*archive);
        QFile file(Path("full.Vel"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ArchiveFileImage(*archive).toByteArray());
    }
    QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }

    QTemporaryDir folder;
};

TEST_F(BatchExportTest, EveryFormatIsWhatThePreviewWritesForTheSameArchive) {
    // The window's way: the file read, the table shown, the report laid out.
    auto archive = std::make_unique<TArchive>();
    archive->Count = 0;
    QFile file(Path("full.Vel"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ReadArchiveRecords(file, *archive, [](int) {});
    ASSERT_EQ(archive->Count, ArchiveCapacity);
    TStringGrid grid(5, 3);
    ShowArchive(grid, *archive);
    const PreparedReport report = PrepareMeasurementReport(grid);

    for (const ExportFormat& format : ExportFormats()) {
        SCOPED_TRACE(format.extension.toStdString());
        const QString batch = folder.filePath(QStringLiteral("batch.") + format.extension);
        const QString preview = folder.filePath(QStringLiteral("preview.") + format.extension);
        const Finished run = Vel({QStringLiteral("--export"), batch, Path("full.Vel")}, folder.path());
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, QString());
        ASSERT_TRUE(ExportReport(format, report, preview).Ok());
        if (format.extension == QLatin1String("pdf")) {
            const QString text = PdfText(batch);
            EXPECT_TRUE(text.contains(QStringLiteral("Измеренные значения плотности")));
            EXPECT_EQ(text, PdfText(preview));  // PDFs differ in their creation time
        } else {
            const QByteArray bytes = Content(batch);
            EXPECT_FALSE(bytes.isEmpty());
            EXPECT_TRUE(bytes == Content(preview)) << "the same bytes";
        }
    }
}

TEST_F(BatchExportTest, EnglishGivesTheEnglishHeadsAndMessages) {
    const Finished run = Vel({QStringLiteral("--export"), Path("en.txt"), Path("full.Vel"), QStringLiteral("--language"),
                         QStringLiteral("en")},
                        folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = QString::fromUtf8(Content(Path("en.txt")));
    EXPECT_TRUE(text.contains(QStringLiteral("Meassured debsity values")));
    EXPECT_TRUE(text.contains(QStringLiteral("Date")));
    EXPECT_FALSE(text.contains(QStringLiteral("Дата")));
}

TEST_F(BatchExportTest, EachFailureHasItsExitCodeAndOneLineAndLeavesNoFile) {
    QFile(Path("empty.Vel")).open(QIODevice::WriteOnly);
    {
        QFile old(Path("old.pdf"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.txt")));
    const QString full = Path("full.Vel");
    const struct {
        QStringList arguments;
        int exitCode;
        QString message;
    } cases[] = {
        {{"--export", "r.pdf"}, 2, "После --export укажите файл отчёта и файл архива. Справка: vel --help."},
        {{"--export", "r.doc", full}, 2,
         "Формат файла r.doc неизвестен; расширения: txt, xlsx, pdf, html, rtf, ods, odt. Справка: vel --help."},
        {{"--bogus", "--help"}, 2, "Непонятный аргумент «--bogus». Справка: vel --help."},
        {{"--export", Path("old.pdf"), Path("missing.Vel")}, 1, "Не удаётся прочитать файл " + Path("missing.Vel") + "."},
        {{"--export", Path("old.pdf"), Path("missing.Vel"), "--language", "en"}, 1,
         "Cannot read the file " + Path("missing.Vel") + "."},
        {{"--export", Path("old.pdf"), Path("empty.Vel")}, 1, "В файле " + Path("empty.Vel") + " нет измерений."},
        {{"--export", Path("no/r.pdf"), full}, 1,
         "Не удаётся записать файл " + Path("no/r.pdf") + ": папка " + Path("no") + " не существует."},
        {{"--export", Path("folder.txt"), full, "--language", "en"}, 1,
         "Cannot write the file " + Path("folder.txt") + ": it is a folder."},
    };
    for (const auto& c : cases) {
        const std::string name = c.arguments.join(' ').toStdString();
        const Finished run = Vel(c.arguments, folder.path());
        EXPECT_EQ(run.exitCode, c.exitCode) << name;
        EXPECT_EQ(run.err, c.message + QLatin1Char('\n')) << name;
        EXPECT_EQ(run.out, QString()) << name;
    }
    EXPECT_EQ(Content(Path("old.pdf")), "old");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"empty.Vel", "full.Vel", "old.pdf"}))
        << "nothing half-written left behind";
}

TEST_F(BatchExportTest, HelpListsTheExport) {
    const Finished run = Vel({QStringLiteral("--help")}, folder.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("vel --export OUT ARCHIVE.Vel [--language en]")));
    EXPECT_EQ(run.err, QString());
}

}  // namespace
