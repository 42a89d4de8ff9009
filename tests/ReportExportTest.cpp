#include "report/ReportExport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

TEST(ReportExportTest, TheFormatIsTheOneTheExtensionNamesInAnyCase) {
    const struct {
        const char* name;
        const char* extension;  // nullptr: no format
    } cases[] = {
        {"report.txt", "txt"},   {"/a/b/Report.PDF", "pdf"}, {"x.tar.xlsx", "xlsx"}, {"x.html", "html"},
        {"x.Rtf", "rtf"},        {"x.ods", "ods"},           {"x.odt", "odt"},       {"x.htm", nullptr},
        {"x.xls", nullptr},      {"report", nullptr},        {"x.Vel", nullptr},     {"x.pdf.bak", nullptr},
    };
    for (const auto& c : cases) {
        const ExportFormat* format = ExportFormatFor(QString::fromUtf8(c.name));
        if (!c.extension) {
            EXPECT_EQ(format, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(format, nullptr) << c.name;
        EXPECT_EQ(format->extension, QLatin1String(c.extension)) << c.name;
        EXPECT_TRUE(format->filter.endsWith(QStringLiteral("|*.") + format->extension)) << c.name;
        EXPECT_TRUE(format->action.startsWith(QStringLiteral("Export"))) << c.name;
    }
}

// Nobody to tell of the pages: each format writes all the same.
TEST(ReportExportTest, EveryFormatWritesWithoutAProgressToTell) {
    PreparedReport report;
    TextObject style;
    style.frame = true;
    report.pages.push_back({{{style, QRectF(10, 10, 200, 24), QStringLiteral("Архив")}}});
    for (const ExportFormat& format : ExportFormats()) {
        SCOPED_TRACE(format.extension.toStdString());
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        EXPECT_EQ(format.write(report, out, {}).toStdString(), "");
        EXPECT_FALSE(out.data().isEmpty());
    }
}

// A format whose writing goes wrong after part of the file is out.
QString WriteHalfThenFail(const PreparedReport&, QIODevice& out, const ExportProgress& progress) {
    out.write("half a file");
    if (progress)
        progress(1, 2);
    return QStringLiteral("broken");
}

QString WriteOnePage(const PreparedReport&, QIODevice& out, const ExportProgress& progress) {
    out.write("new");
    if (progress)
        progress(1, 1);
    return {};
}

class ReportExportFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return folder.filePath(name); }
    QByteArray Content(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    void Put(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QStringList Files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir folder;
    const ExportFormat failing{QStringLiteral("x"), {}, {}, {}, WriteHalfThenFail};
    const ExportFormat good{QStringLiteral("x"), {}, {}, {}, WriteOnePage};
};

TEST_F(ReportExportFileTest, AFailedFormatLeavesTheOldFileAndNoTemporaryOne) {
    Put(QStringLiteral("old.x"), "old");
    const ExportResult result = ExportReport(failing, PreparedReport{}, Path(QStringLiteral("old.x")));
    EXPECT_EQ(result.error, ExportError::NotMade);
    EXPECT_EQ(result.detail, QStringLiteral("broken"));
    EXPECT_EQ(Content(QStringLiteral("old.x")), "old");
    EXPECT_EQ(ExportReport(failing, PreparedReport{}, Path(QStringLiteral("new.x"))).error, ExportError::NotMade);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("old.x")});

    std::vector<std::pair<int, int>> told;
    EXPECT_TRUE(ExportReport(good, PreparedReport{}, Path(QStringLiteral("old.x")),
                             [&](int done, int pages) { told.emplace_back(done, pages); })
                    .Ok());
    EXPECT_EQ(Content(QStringLiteral("old.x")), "new") << "replaced without a question";
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 1}}));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("old.x")});
}

TEST_F(ReportExportFileTest, EachReasonAFileCannotBeWrittenIsToldInWords) {
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    Put(QStringLiteral("locked.x"), "old");
    QFile::setPermissions(Path(QStringLiteral("locked.x")), QFileDevice::ReadOwner);
    const bool root = ::geteuid() == 0;  // root writes whatever the permissions say

    const struct {
        const char* name;
        ExportError error;
        const char* russian;
        const char* english;
    } cases[] = {
        {"missing/a.x", ExportError::NoFolder, "папка %1/missing не существует", "the folder %1/missing does not exist"},
        {"sub", ExportError::IsFolder, "это папка", "it is a folder"},
        {"locked.x", ExportError::FileDenied, "файл защищён от записи", "the file is write-protected"},
    };
    for (const auto& c : cases) {
        const QString path = Path(QString::fromUtf8(c.name));
        if (root && c.error == ExportError::FileDenied)
            continue;
        const ExportResult result = ExportReport(good, PreparedReport{}, path);
        EXPECT_EQ(result.error, c.error) << c.name;
        const QString russian = ExportErrorText(result, path);
        EXPECT_TRUE(russian.startsWith(QStringLiteral("Не удаётся записать файл %1: %2").arg(path, QString::fromUtf8(c.russian).arg(folder.path()))))
            << russian.toStdString();
        EXPECT_TRUE(russian.endsWith(QLatin1Char('.')));
        const QString english = ExportErrorText(result, path, true);
        EXPECT_TRUE(english.startsWith(QStringLiteral("Cannot write the file %1: %2").arg(path, QString::fromUtf8(c.english).arg(folder.path()))))
            << english.toStdString();
    }
    EXPECT_EQ(Content(QStringLiteral("locked.x")), "old");
    EXPECT_EQ(ExportErrorText(ExportResult{}, Path(QStringLiteral("a.x"))), QString());
}

}  // namespace
