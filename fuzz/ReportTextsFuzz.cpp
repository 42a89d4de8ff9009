// The report's variables and the escaping of the text, HTML and RTF exports on
// any texts: a name resolved to itself in brackets leaves every text as
// written, and whatever the texts, values and font names hold, each export is
// valid output (UTF-8 text; well-formed XML; RTF of ASCII with balanced
// groups) that keeps every printable character of each cell.
//
// Input: a byte of record count, then texts separated by 0xFF: the page
// header's, three cells of the data band, the values of [A] and [B], and a
// font family; each text UTF-8 or, after a byte 0x01, UTF-16 units.

#include "fuzz/FuzzInput.h"
#include "report/HtmlExport.h"
#include "report/ReportLayout.h"
#include "report/RtfExport.h"
#include "report/TextExport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QStringDecoder>
#include <QXmlStreamReader>


namespace {

class CountedRecords final : public RecordSource {
public:
    explicit CountedRecords(int count) : count_(count) {}
    void First() override { at_ = 0; }
    bool Eof() override { return at_ >= count_; }
    void Next() override { ++at_; }
    int RecNo() const override { return at_; }

private:
    int count_;
    int at_ = 0;
};

// The characters a reader sees of a text, in order: its printable code points.
QString Printable(QStringView text) {
    QString seen;
    for (char32_t c : text.toUcs4()) {
        const bool nonCharacter = (c >= 0xfdd0 && c <= 0xfdef) || (c & 0xfffe) == 0xfffe;
        if (QChar::isPrint(c) && !nonCharacter)
            seen += QString::fromUcs4(&c, 1);
    }
    return seen;
}

bool ValidUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return !utf8.hasError();
}

// The character data of an XML text, <br/> as a line break; empty with ok false
// when it is not well-formed.
QString XmlText(const QString& xml, bool& ok) {
    QXmlStreamReader reader(xml);
    QString text;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isCharacters())
            text += reader.text();
        else if (reader.isStartElement() && reader.name() == QLatin1String("br"))
            text += QLatin1Char('\n');
    }
    ok = !reader.hasError();
    return text;
}

// RTF text back to characters; ok false when it is not what the escaping
// writes: only ASCII, every backslash a known escape.
QString RtfPlain(const QByteArray& rtf, bool& ok) {
    ok = true;
    QString text;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (static_cast<unsigned char>(c) >= 0x80 || c == '{' || c == '}') {
            ok = false;
            return {};
        }
        if (c != '\\') {
            text += QLatin1Char(c);
            continue;
        }
        const QByteArray rest = rtf.mid(i + 1);
        if (rest.startsWith('\\') || rest.startsWith('{') || rest.startsWith('}')) {
            text += QLatin1Char(rest[0]);
            ++i;
        } else if (rest.startsWith("tab ")) {
            text += QLatin1Char('\t');
            i += 4;
        } else if (rest.startsWith("line ")) {
            text += QLatin1Char('\n');
            i += 5;
        } else if (rest.startsWith('u')) {
            qsizetype end = 1;
            while (end < rest.size() && (rest[end] == '-' || (rest[end] >= '0' && rest[end] <= '9')))
                ++end;
            bool number = false;
            const int n = rest.mid(1, end - 1).toInt(&number);
            if (!number || n < -32768 || n > 32767 || end >= rest.size() || rest[end] != '?') {
                ok = false;
                return {};
            }
            text += QChar(static_cast<char16_t>(static_cast<std::int16_t>(n)));
            i += end + 1;
        } else {
            ok = false;
            return {};
        }
    }
    return text;
}

// Braces balance, escaped ones aside, and never close more than is open.
bool GroupsBalance(const QByteArray& rtf) {
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\')
            ++i;
        else if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}' && --depth < 0)
            return false;
    }
    return depth == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int records = input.Byte() % 4;
    QStringList texts;
    for (int i = 0; i < 7; ++i)
        texts << AnyText(input.Until(0xff));
    const QString& valueA = texts[4];
    const QString& valueB = texts[5];

    ReportTemplate report;
    Band header{BandKind::PageHeader, QStringLiteral("PageHeader1"), 40, true, {}};
    TextObject title;
    title.left = 10;
    title.width = 500;
    title.height = 30;
    title.text = texts[0];
    title.fontFamily = texts[6];
    header.objects.push_back(title);
    Band rows{BandKind::MasterData, QStringLiteral("MasterData1"), 24, true, {}};
    for (int i = 0; i < 3; ++i) {
        TextObject cell;
        cell.left = 10 + 150 * i;
        cell.width = i == 2 ? 300 : 150;  // the last one reaches past the page's right edge
        cell.height = 24;
        cell.frame = i != 1;
        cell.centred = i == 0;
        cell.text = texts[1 + i];
        rows.objects.push_back(cell);
    }
    report.bands = {header, rows};

    // Every name in brackets standing for itself: nothing changes.
    {
        CountedRecords source(records);
        const PreparedReport same = LayOutReport(
            report, [](const QString& name) { return std::optional(QLatin1Char('[') + name + QLatin1Char(']')); },
            source);
        for (const PreparedPage& page : same.pages)
            for (const PlacedText& placed : page.texts)
                if (!placed.style.text.contains(QLatin1String("[Page#]")))
                    FUZZ_CHECK(placed.text == placed.style.text);
    }

    CountedRecords source(records);
    const PreparedReport prepared = LayOutReport(
        report,
        [&](const QString& name) -> std::optional<QString> {
            if (name == QLatin1String("A"))
                return valueA;
            if (name == QLatin1String("B"))
                return valueB;
            return std::nullopt;
        },
        source);

    QByteArray text;
    {
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        FUZZ_CHECK(WriteText(prepared, out, {}).isEmpty());
    }
    FUZZ_CHECK(ValidUtf8(text));

    QByteArray html;
    {
        QBuffer out(&html);
        out.open(QIODevice::WriteOnly);
        FUZZ_CHECK(WriteHtml(prepared, out, {}).isEmpty());
    }
    FUZZ_CHECK(ValidUtf8(html));
    bool wellFormed = false;
    XmlText(QString::fromUtf8(html), wellFormed);
    FUZZ_CHECK(wellFormed);

    QByteArray rtf;
    {
        QBuffer out(&rtf);
        out.open(QIODevice::WriteOnly);
        FUZZ_CHECK(WriteRtf(prepared, out, {}).isEmpty());
    }
    for (char c : rtf)
        FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
    FUZZ_CHECK(GroupsBalance(rtf));

    // Each cell on its own: every printable character kept, in order.
    for (const PreparedPage& page : prepared.pages)
        for (const PlacedText& placed : page.texts) {
            bool ok = false;
            const QString fromHtml =
                XmlText(QStringLiteral("<p>") + HtmlText(placed.text) + QStringLiteral("</p>"), ok);
            FUZZ_CHECK(ok);
            FUZZ_CHECK(Printable(fromHtml) == Printable(placed.text));
            const QString fromRtf = RtfPlain(RtfText(placed.text), ok);
            FUZZ_CHECK(ok);
            FUZZ_CHECK(Printable(fromRtf) == Printable(placed.text));
        }
    return 0;
}
