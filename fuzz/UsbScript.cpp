#include "fuzz/UsbScript.h"

#include "fuzz/FuzzInput.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr std::array<const char*, 4> Commands = {"ident", "count", "record", "screen"};
constexpr std::array<const char*, 7> Kinds = {"no-answer", "short",         "wrong-checksum", "trickle",
                                              "length",    "timeout-after", "garbage"};

void PutWord(QByteArray& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}

void PutInt32(QByteArray& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xff);
}

}  // namespace

UsbScript UsbScript::Decode(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    UsbScript s;
    // Mostly few records, for speed; now and then more than the archive holds.
    const std::uint16_t records = input.Word();
    s.records = static_cast<std::uint16_t>(records & 0x8000 ? 2600 + (records & 0x7fff) % 200 : records % 301);
    s.recordSize = input.Int32();
    s.reportCount = input.Byte() & 1;
    s.count = input.Word();
    s.faults.resize(input.Byte() % 5);
    for (UsbFault& f : s.faults) {
        f.command = input.Byte() % Commands.size();
        f.occurrence = input.Byte() % 4;
        f.kind = input.Byte() % Kinds.size();
        f.value = input.Int32();
    }
    const std::span<const std::uint8_t> ident = input.Take(input.Byte());
    s.ident = QByteArray(reinterpret_cast<const char*>(ident.data()), static_cast<qsizetype>(ident.size()));
    return s;
}

QByteArray UsbScript::Encode() const {
    QByteArray out;
    PutWord(out, records <= 300 ? records : static_cast<std::uint16_t>(0x8000 | (records - 2600)));
    PutInt32(out, recordSize);
    out += static_cast<char>(reportCount ? 1 : 0);
    PutWord(out, count);
    out += static_cast<char>(faults.size());
    for (const UsbFault& f : faults) {
        out += static_cast<char>(f.command);
        out += static_cast<char>(f.occurrence);
        out += static_cast<char>(f.kind);
        PutInt32(out, f.value);
    }
    out += static_cast<char>(std::min<qsizetype>(ident.size(), 255));
    out += ident.left(255);
    return out;
}

std::vector<std::pair<std::string, std::string>> UsbScript::Settings() const {
    std::vector<std::pair<std::string, std::string>> settings = {
        {"VELSIM_RECORDS", std::to_string(records)},
        // The simulator takes part sizes up to 64 KiB.
        {"VELSIM_RECORD_SIZE", std::to_string(std::min(recordSize, 65536))},
    };
    if (reportCount)
        settings.emplace_back("VELSIM_COUNT", std::to_string(count));

    std::string plan;
    for (const UsbFault& f : faults) {
        plan += std::string(Commands[f.command]) + "@" + std::to_string(f.occurrence) + ":" + Kinds[f.kind];
        const std::int64_t v = f.value;
        switch (f.kind) {
        case 1: plan += "=" + std::to_string(std::abs(v) % 100000); break;  // short
        case 3: plan += "=" + std::to_string(1 + std::abs(v) % 8) + "/0"; break;  // trickle, no waiting
        case 4: plan += "=" + std::to_string(v); break;  // length
        case 5: plan += "=" + std::to_string(std::abs(v) % 3001); break;  // timeout-after
        case 6: plan += "=" + std::to_string(std::abs(v)); break;  // garbage
        default: break;
        }
        plan += ";";
    }
    settings.emplace_back("VELSIM_FAULTS", plan);

    // The identification as the simulator takes it: text, every byte one
    // Windows-1251 character (the one byte the code page lacks read as '?').
    QByteArray bytes = ident;
    bytes.replace('\x98', '?');
    QStringDecoder cp1251("windows-1251");
    settings.emplace_back("VELSIM_IDENT", QString(cp1251(bytes)).toStdString());
    return settings;
}
