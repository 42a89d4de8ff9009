// Writes the seed corpora of the fuzz targets, one folder per target under the
// folder named on the command line: real exchanges and files from the meter
// model and the test fixtures, and the faults the window's tests meet.

#include "archive/Archive.h"
#include "archive/ArchiveFile.h"
#include "fuzz/UsbScript.h"
#include "protocol/DeviceRecord.h"
#include "protocol/SerialFrames.h"
#include "sim/GeneratedArchive.h"
#include "support/Records.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

QDir root;

void Seed(const char* target, const char* name, const QByteArray& bytes) {
    root.mkpath(QString::fromUtf8(target));
    QFile file(root.filePath(QStringLiteral("%1/%2").arg(QString::fromUtf8(target), QString::fromUtf8(name))));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

template <std::size_t N>
QByteArray Bytes(const std::array<std::uint8_t, N>& a) {
    return QByteArray(reinterpret_cast<const char*>(a.data()), static_cast<qsizetype>(N));
}

QByteArray Joined(std::initializer_list<QByteArray> parts, char separator) {
    QByteArray out;
    bool first = true;
    for (const QByteArray& part : parts) {
        if (!first)
            out += separator;
        out += part;
        first = false;
    }
    return out;
}

void SerialSeeds(const TArchive& archive) {
    QByteArray exchange = Bytes(BuildIdentAnswer({'1', '5', '0', '3', '1', '1'})) + Bytes(BuildCountAnswer(3));
    for (int i = 0; i < 3; ++i)
        exchange += Bytes(BuildRecordAnswer(ToDeviceRecord(archive.Records[i]), static_cast<std::uint16_t>(i + 1)));
    Seed("serial_answers", "exchange", exchange);
    Seed("serial_answers", "empty-archive", Bytes(BuildCountAnswer(0)));
    QByteArray noise("\x00\xff\x01", 3);
    Seed("serial_answers", "noise-then-record",
         noise + Bytes(BuildRecordAnswer(ToDeviceRecord(archive.Records[7]), EndMark)));
    Seed("serial_answers", "short-record", exchange.right(27));
}

void ArchiveSeeds(const TArchive& archive) {
    const auto image = [&](int records) {
        return QByteArray(reinterpret_cast<const char*>(archive.Records), records * 24);
    };
    Seed("archive_file", "five-records", '\0' + image(5));
    Seed("archive_file", "one-short-of-full", '\1' + image(3));
    Seed("archive_file", "full", '\2' + image(2));
    Seed("archive_file", "cut-record", '\0' + image(2).left(47));
    const std::vector<ArchiveEntry> generated = GenerateArchive(4);
    QByteArray meter("\0", 1);
    for (const ArchiveEntry& entry : generated)
        meter += QByteArray(reinterpret_cast<const char*>(entry.record.data()), DeviceRecordSize);
    Seed("archive_file", "generated", meter);
}

void ProfileSeeds() {
    Seed("profile", "program-settings",
         Joined({"[Config]\r\nCOMPortNumber=USB\r\nLanguage=0\r\n\r\n[Debug]\r\nLogUSB=Y\r\n", "Config",
                 "COMPortNumber", "debug", "logusb", "Config", "Language", "COM3"},
                '\1'));
    Seed("profile", "new-section",
         Joined({"; comment\n[Form]\nLeft=10\nTop = ' 20 '\n", "Window", "Left", "Form", "Top", "Form", "Left",
                 "\"quoted value\""},
                '\1'));
    Seed("profile", "no-file-yet", Joined({"", "Config", "COMPortNumber", "USB"}, '\1'));
}

void LinkLogSeeds() {
    Seed("link_log", "session",
         Joined({"usb_init", "usb_find_busses: 1", "usb_bulk_write: 2 bytes 01 00",
                 "usb_bulk_read: error reading from bulk endpoint: Connection timed out\n",
                 "\xfe" "Error: \r\nsecond line\r\n"},
                '\xff'));
    Seed("link_log", "russian", QByteArray("Прибор не подключен к шине USB"));
}

void ReportSeeds() {
    Seed("report_texts", "measurement-report",
         Joined({"\x02Архив плотномера [A]", "[B]", "2345,68 & <b>", "Стр. [Page#] из [Pages]", "VEL-1 N17",
                 "12:30:00 (11 дек 2026)", "Times New Roman"},
                '\xff'));
    Seed("report_texts", "rtf-specials",
         Joined({"\x01{\\rtf1}", "tab\there", "line\nbreak", "[A][B][[A]]", "\\u-1?", "}{", "Arial;Bold"}, '\xff'));
}

void UsbSeeds() {
    const auto script = [](auto change) {
        UsbScript s;
        change(s);
        return s.Encode();
    };
    Seed("usb_worker", "clean-read", script([](UsbScript&) {}));
    Seed("usb_worker", "empty-meter", script([](UsbScript& s) { s.records = 0; }));
    Seed("usb_worker", "count-length-4", script([](UsbScript& s) { s.faults = {{1, 0, 4, 4}}; }));
    Seed("usb_worker", "record-size-23", script([](UsbScript& s) { s.recordSize = 23; }));
    Seed("usb_worker", "record-size-200", script([](UsbScript& s) { s.recordSize = 200; }));
    Seed("usb_worker", "record-size-201", script([](UsbScript& s) { s.recordSize = 201; }));
    Seed("usb_worker", "timeout-after-5", script([](UsbScript& s) { s.faults = {{2, 0, 5, 5}}; }));
    Seed("usb_worker", "silent-ident", script([](UsbScript& s) { s.faults = {{0, 0, 0, 0}}; }));
    Seed("usb_worker", "short-count", script([](UsbScript& s) { s.faults = {{1, 1, 1, 5}}; }));
    Seed("usb_worker", "more-than-the-archive", script([](UsbScript& s) {
             s.records = 2700;
             s.faults = {{2, 0, 4, 2700}};
         }));
    Seed("usb_worker", "announces-more-than-sent", script([](UsbScript& s) { s.faults = {{2, 0, 4, 40}}; }));
    Seed("usb_worker", "screen-length-huge", script([](UsbScript& s) { s.faults = {{3, 0, 4, 0x7fffffff}}; }));
    Seed("usb_worker", "ident-length-negative", script([](UsbScript& s) { s.faults = {{0, 0, 4, -5}}; }));
    Seed("usb_worker", "long-ident", script([](UsbScript& s) { s.ident = QByteArray(100, 'A'); }));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    root = QDir(QString::fromLocal8Bit(argv[1]));
    auto archive = std::make_unique<TArchive>();
    FillPlausibleArchive(*archive);
    SerialSeeds(*archive);
    ArchiveSeeds(*archive);
    ProfileSeeds();
    LinkLogSeeds();
    ReportSeeds();
    UsbSeeds();
    return 0;
}
