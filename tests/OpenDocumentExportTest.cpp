#include "report/OpenDocumentExport.h"

#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"
#include "support/ZipEntries.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QXmlStreamReader>

namespace {

using Writer = QString (*)(const PreparedReport&, QIODevice&, const ExportProgress&);

QByteArray Package(Writer write, const PreparedReport& report, std::vector<std::pair<int, int>>* told = nullptr) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(write(report, out,
                    [&](int done, int pages) {
                        if (told)
                            told->emplace_back(done, pages);
                    }),
              QString());
    return out.data();
}

// The texts of a document's paragraphs in order, and how often each
// element occurs; an XML error fails the test.
struct Document {
    QStringList paragraphs;
    std::map<QString, int> elements;
    std::map<QString, int> attributeValues;  // "name=value"
};

Document Read(const QByteArray& xml) {
    Document document;
    QXmlStreamReader reader(xml);
    QString paragraph;
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            ++document.elements[reader.qualifiedName().toString()];
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                ++document.attributeValues[attribute.qualifiedName().toString() + "=" + attribute.value().toString()];
            if (reader.qualifiedName() == QLatin1String("text:p"))
                ++depth, paragraph.clear();
            else if (reader.qualifiedName() == QLatin1String("text:line-break"))
                paragraph += QLatin1Char('\n');
        } else if (reader.isCharacters() && depth > 0) {
            paragraph += reader.text();
        } else if (reader.isEndElement() && reader.qualifiedName() == QLatin1String("text:p")) {
            --depth;
            document.paragraphs << paragraph;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return document;
}

TEST(OpenDocumentExportTest, PackagesStartWithTheirStoredTypeAndHoldEveryTextInOrder) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    ASSERT_EQ(report.pages.size(), 3u);
    const struct {
        Writer write;
        const char* type;
    } formats[] = {{WriteOds, "application/vnd.oasis.opendocument.spreadsheet"},
                   {WriteOdt, "application/vnd.oasis.opendocument.text"}};
    for (const auto& format : formats) {
        SCOPED_TRACE(format.type);
        std::vector<std::pair<int, int>> told;
        const QByteArray package = Package(format.write, report, &told);
        const std::vector<ZipEntry> entries = ZipEntries(package);
        ASSERT_EQ(entries.size(), 5u);
        EXPECT_EQ(entries[0].name, QStringLiteral("mimetype"));
        EXPECT_TRUE(entries[0].stored);
        EXPECT_EQ(entries[0].bytes, QByteArray(format.type));
        EXPECT_EQ(package.mid(30, 8), "mimetype") << "readers find the type at a fixed place";
        for (const char* name : {"META-INF/manifest.xml", "styles.xml", "meta.xml"})
            Read(ZipEntryBytes(entries, name));
        EXPECT_TRUE(ZipEntryBytes(entries, "styles.xml").contains("fo:page-width=\"210.00mm\""));
        EXPECT_TRUE(ZipEntryBytes(entries, "styles.xml").contains("fo:margin-left=\"20.00mm\""));

        const Document content = Read(ZipEntryBytes(entries, "content.xml"));
        const QStringList texts = TextsInReadingOrder(report);
        ASSERT_EQ(content.paragraphs.size(), texts.size());
        for (qsizetype i = 0; i < texts.size(); ++i)
            ASSERT_EQ(content.paragraphs[i].toStdString(), texts[i].toStdString()) << i;
        EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
        EXPECT_TRUE(package == Package(format.write, report)) << "the same report, the same bytes";
    }
}

TEST(OpenDocumentExportTest, TheSpreadsheetHasNumbersSpansAndPageBreaks) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    const Document content = Read(ZipEntryBytes(ZipEntries(Package(WriteOds, report)), "content.xml"));
    EXPECT_EQ(content.elements.at("table:table"), 1);
    EXPECT_EQ(content.elements.at("table:table-column"), 6);
    EXPECT_EQ(content.elements.at("table:table-row"), 1 + 1 + 110 + 2 * 2);
    EXPECT_EQ(content.attributeValues.at("office:value-type=float"), 3 * 110) << "number, density, temperature";
    EXPECT_EQ(content.attributeValues.at("office:value=2345.1"), 11);
    EXPECT_EQ(content.attributeValues.at("office:value=120.5"), 110);
    EXPECT_EQ(content.attributeValues.at("table:number-columns-spanned=6"), 3) << "the title and two page numbers";
    EXPECT_EQ(content.elements.at("table:covered-table-cell"), 3 * 5);
    EXPECT_EQ(content.attributeValues.at("fo:break-before=page"), 1) << "one row style breaks";
    EXPECT_EQ(content.attributeValues.at("number:decimal-places=1"), 1);
}

TEST(OpenDocumentExportTest, TheTextDocumentHasATablePerPage) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    const Document content = Read(ZipEntryBytes(ZipEntries(Package(WriteOdt, report)), "content.xml"));
    EXPECT_EQ(content.elements.at("table:table"), 3);
    EXPECT_EQ(content.elements.at("table:table-column"), 3 * 6);
    EXPECT_EQ(content.attributeValues.at("table:style-name=Next"), 2) << "pages 2 and 3 start on a new page";
    EXPECT_EQ(content.attributeValues.at("fo:break-before=page"), 1);
    EXPECT_EQ(content.attributeValues.count("office:value-type=float"), 0u);
}

TEST(OpenDocumentExportTest, AnyTextEndsAsValidXmlWithItsPrintableCharactersKept) {
    PreparedReport report;
    PlacedText text;
    text.rect = QRectF(0, 0, 100, 20);
    text.text = QStringLiteral("a<&>\"b") + QChar(0x01) + QChar(0xD800) + QStringLiteral("c\nd") + QChar(0xFFFF) +
                QString::fromUcs4(U"\U0001F600") + QStringLiteral("Щ");
    report.pages.push_back({{text}});
    for (Writer write : {WriteOds, WriteOdt}) {
        const Document content = Read(ZipEntryBytes(ZipEntries(Package(write, report)), "content.xml"));
        EXPECT_EQ(content.paragraphs, QStringList{QStringLiteral("a<&>\"bc\nd") + QString::fromUcs4(U"\U0001F600") +
                                                  QStringLiteral("Щ")});
    }
}

}  // namespace
