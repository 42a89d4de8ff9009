// Each export opened by a real reader: LibreOffice converts the files of a
// three-page report to CSV (spreadsheets) or plain text (documents), and every
// text of the report must come back exactly, in order. Skipped where
// LibreOffice is not installed (scripts/install-deps installs it).

#include "output/MeasurementReport.h"
#include "report/NumberText.h"
#include "report/ReportExport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Fields of a CSV text with quotes as LibreOffice writes them.
QStringList CsvFields(const QString& csv) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar c = csv[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < csv.size() && csv[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('\n')) {
            fields << field;
            field.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    fields << field;
    return fields;
}

// The first of wanted that is not found in found, in order; empty if all are.
QString FirstMissing(const QStringList& wanted, const QStringList& found) {
    qsizetype at = 0;
    for (const QString& text : wanted) {
        while (at < found.size() && found[at] != text)
            ++at;
        if (at == found.size())
            return text;
        ++at;
    }
    return {};
}

class ExportReadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            GTEST_SKIP() << "LibreOffice is not installed";
        ASSERT_TRUE(folder.isValid());
    }

    // The files converted by one LibreOffice run, into converted/.
    void Convert(const QString& to, const QStringList& files) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments{QStringLiteral("-env:UserInstallation=") +
                                  QUrl::fromLocalFile(folder.filePath(QStringLiteral("profile"))).toString(),
                              QStringLiteral("--headless"), QStringLiteral("--convert-to"), to,
                              QStringLiteral("--outdir"), folder.filePath(QStringLiteral("converted"))};
        arguments << files;
        process.start(soffice, arguments);
        ASSERT_TRUE(process.waitForFinished(240000)) << "LibreOffice did not finish";
        const QString output = QString::fromUtf8(process.readAll());
        ASSERT_EQ(process.exitCode(), 0) << output.toStdString();
        ASSERT_FALSE(output.contains(QStringLiteral("Error"), Qt::CaseInsensitive)) << output.toStdString();
    }

    QString Exported(const QString& extension) {
        const QString path = folder.filePath(QStringLiteral("report-%1.%1").arg(extension));
        const ExportResult result = ExportReport(*ExportFormatFor(path), report, path);
        EXPECT_TRUE(result.Ok()) << result.detail.toStdString();
        return path;
    }

    QString Converted(const QString& extension, const char* to) const {
        QFile file(folder.filePath(QStringLiteral("converted/report-%1.%2").arg(extension, QLatin1String(to))));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QString text = QString::fromUtf8(file.readAll());
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }

    // Every text of the report as a reader meets it; spreadsheets show the
    // numbers among them with a decimal point.
    QStringList Texts(bool asSpreadsheet) const {
        QStringList texts;
        for (QString text : TextsInReadingOrder(report)) {
            text = text.trimmed();
            if (text.isEmpty())
                continue;
            if (asSpreadsheet && ParseNumberText(text))
                text.replace(QLatin1Char(','), QLatin1Char('.'));
            texts << text;
        }
        return texts;
    }

    QString soffice;
    QTemporaryDir folder;
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
};

TEST_F(ExportReadersTest, SpreadsheetsGiveBackEveryCellWithNumbersAsNumbers) {
    ASSERT_EQ(report.pages.size(), 3u);
    const QStringList files{Exported(QStringLiteral("xlsx")), Exported(QStringLiteral("ods"))};
    // Comma-separated, quoted as needed, UTF-8, the cells as shown.
    Convert(QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"), files);
    for (const char* extension : {"xlsx", "ods"}) {
        SCOPED_TRACE(extension);
        const QString csv = Converted(QLatin1String(extension), "csv");
        ASSERT_FALSE(csv.isEmpty());
        QStringList fields;
        for (const QString& field : CsvFields(csv))
            if (!field.trimmed().isEmpty())
                fields << field.trimmed();
        EXPECT_EQ(FirstMissing(Texts(true), fields), QString()) << csv.left(600).toStdString();
        EXPECT_TRUE(fields.contains(QStringLiteral("2345.7"))) << "a number, not the text 2345,7";
        EXPECT_FALSE(fields.contains(QStringLiteral("2345,7")));
    }
}

TEST_F(ExportReadersTest, DocumentsGiveBackEveryTextInOrder) {
    ASSERT_EQ(report.pages.size(), 3u);
    const QStringList files{Exported(QStringLiteral("odt")), Exported(QStringLiteral("rtf")),
                            Exported(QStringLiteral("html"))};
    Convert(QStringLiteral("txt:Text (encoded):UTF8"), files);
    for (const char* extension : {"odt", "rtf", "html"}) {
        SCOPED_TRACE(extension);
        const QString text = Converted(QLatin1String(extension), "txt");
        ASSERT_FALSE(text.isEmpty());
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                lines << line.trimmed();
        EXPECT_EQ(FirstMissing(Texts(false), lines), QString()) << text.left(600).toStdString();
    }
}

}  // namespace
