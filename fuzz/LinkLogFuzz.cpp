// The link log on any messages: each entry is one line of valid UTF-8, the
// time and then the message with its line breaks gone and nothing else lost,
// in the order written, with a day header at the start and whenever the date
// moves on from one entry to the next.
//
// Input: messages separated by 0xFF (UTF-8, or after 0x01 UTF-16 units); a message
// whose first byte is 0xFE is written on the next day.

#include "app/LinkLog.h"
#include "fuzz/FuzzInput.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>


namespace {

QTemporaryDir* folder = nullptr;

// Without line breaks and blanks: what a cleaned entry must still hold.
QByteArray Essence(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', "").replace('\n', "").replace(' ', "");
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir;
    folder = &dir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const QString path = folder->filePath(QStringLiteral("LibUsb.log"));
    QFile::remove(path);

    QDateTime now(QDate(2026, 12, 11), QTime(9, 5, 7));
    TLinkLog log(path, [] { return true; }, [&] { return now; });
    log.Start();

    QStringList messages;
    int days = 0;
    while (!input.Empty() && messages.size() < 16) {
        QByteArray bytes = input.Until(0xff);
        if (!bytes.isEmpty() && static_cast<std::uint8_t>(bytes[0]) == 0xfe) {
            now = now.addDays(1);
            // The log's date is the first entry's, whatever the header says.
            if (!messages.isEmpty())
                ++days;
            bytes.remove(0, 1);
        }
        const QString message = AnyText(bytes);
        log.Write(message);
        messages << message;
    }

    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(content);
    FUZZ_CHECK(!utf8.hasError());
    FUZZ_CHECK(content.endsWith("\r\n"));

    // Lines: empty ones and day headers around the entries.
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast();  // after the last line's end
    int entry = 0;
    int headers = 0;
    for (QByteArray line : lines) {
        FUZZ_CHECK(line.endsWith('\r'));
        line.chop(1);
        FUZZ_CHECK(!line.contains('\r'));
        if (line.isEmpty())
            continue;
        if (line.startsWith("========== ")) {
            ++headers;
            continue;
        }
        FUZZ_CHECK(entry < messages.size());
        FUZZ_CHECK(line.startsWith("09:05:07 "));
        FUZZ_CHECK(Essence(QString::fromUtf8(line.mid(9))) == Essence(messages[entry]));
        ++entry;
    }
    FUZZ_CHECK(entry == messages.size());
    FUZZ_CHECK(headers == 1 + days);
    return 0;
}
