#include "sim/SimulatorSettings.h"

#include "archive/Archive.h"
#include "archive/ArchiveFile.h"
#include "protocol/DeviceRecord.h"
#include "protocol/MeterText.h"
#include "sim/FaultPlan.h"
#include "sim/GeneratedArchive.h"
#include "sim/GeneratedScreen.h"
#include "sim/WholeNumber.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

const char* const DefaultSimulatorIdent = "Плотномер асфальта ВЕЛ зав.№ 000417 (симулятор)";

namespace {

constexpr std::array<std::string_view, 15> Names = {
    "VELSIM_ARCHIVE", "VELSIM_RECORDS", "VELSIM_NEXT", "VELSIM_COUNT", "VELSIM_IDENT", "VELSIM_IDENT_CHARS",
    "VELSIM_SCREEN", "VELSIM_RECORD_SIZE", "VELSIM_LATENCY", "VELSIM_FAULTS", "VELSIM_ABSENT",
    "VELSIM_METERS", "VELSIM_CONFIG_RESULT", "VELSIM_CLAIM_RESULT", "VELSIM_INSTANT_TIMEOUTS",
};
constexpr std::array<std::string_view, 7> SerialNames = {
    "VELSIM_ARCHIVE", "VELSIM_RECORDS", "VELSIM_NEXT", "VELSIM_COUNT", "VELSIM_IDENT_CHARS", "VELSIM_LATENCY",
    "VELSIM_FAULTS",
};

constexpr int DefaultRecords = 10;
constexpr std::int64_t MostRecords = std::numeric_limits<std::uint16_t>::max();
constexpr std::int64_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t Int32Max = std::numeric_limits<std::int32_t>::max();

std::vector<std::uint8_t> ToBytes(const QByteArray& bytes) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The identification text in the meter's code page; nothing when a character
// has no place in it.
std::optional<std::vector<std::uint8_t>> MeterTextBytes(const std::string& utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QStringEncoder encoder("windows-1251");
    const std::vector<std::uint8_t> bytes = ToBytes(encoder.encode(text));
    // Round trip through the program's own decoding, so an encoder that
    // substitutes in silence is caught too.
    if (encoder.hasError() || DecodeMeterText(bytes) != text)
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

std::optional<std::vector<ArchiveEntry>> ArchiveFileEntries(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto archive = std::make_unique<TArchive>();
    ReadArchiveRecords(file, *archive, {});
    std::vector<DeviceRecord> records;
    for (int i = 0; i < archive->Count; ++i)
        records.push_back(ToDeviceRecord(archive->Records[i]));
    return ChainArchive(records);
}

// Indices separated by ',', each 0 to 65535; nothing when one is not.
std::optional<std::vector<std::uint16_t>> IndexList(const std::string& text) {
    std::vector<std::uint16_t> indices;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::optional<std::int64_t> index = ParseWholeNumber(rest.substr(0, comma), 0, 0xFFFF);
        if (!index)
            return std::nullopt;
        indices.push_back(static_cast<std::uint16_t>(*index));
        if (comma == std::string_view::npos)
            return indices;
        rest.remove_prefix(comma + 1);
    }
}

// Each entry's answer gives the next index listed, and the entry after it is
// asked for by that index.
void Rechain(std::vector<ArchiveEntry>& archive, const std::vector<std::uint16_t>& nexts) {
    for (std::size_t i = 0; i < archive.size(); ++i) {
        archive[i].next = nexts[i];
        if (i + 1 < archive.size())
            archive[i + 1].index = nexts[i];
    }
}

// Reads one setting after another, collecting the refusals.
class Reader {
public:
    explicit Reader(const SettingLookup& lookup) : lookup_(lookup) {}

    std::optional<std::string> Value(const char* name) const { return lookup_(name); }

    std::optional<std::int64_t> Number(const char* name, std::int64_t low, std::int64_t high, const char* what,
                                       const std::string& keeping) {
        const std::optional<std::string> text = Value(name);
        if (!text)
            return std::nullopt;
        const std::optional<std::int64_t> n = ParseWholeNumber(*text, low, high);
        if (!n)
            Refuse(name, *text,
                   std::string("must be ") + what + " from " + std::to_string(low) + " to " + std::to_string(high),
                   keeping);
        return n;
    }

    void Refuse(const char* name, const std::string& value, const std::string& why, const std::string& keeping) {
        errors_.push_back({name, std::string(name) + "=\"" + value + "\" refused: " + why + "; keeping " + keeping});
    }

    std::vector<SettingError> Errors() && { return std::move(errors_); }

private:
    const SettingLookup& lookup_;
    std::vector<SettingError> errors_;
};

}  // namespace

bool IsSimulatorSetting(std::string_view name) {
    return std::find(Names.begin(), Names.end(), name) != Names.end();
}

bool IsSerialMeterSetting(std::string_view name) {
    return std::find(SerialNames.begin(), SerialNames.end(), name) != SerialNames.end();
}

SettingsReading ReadSimulatorSettings(const SettingLookup& lookup) {
    Reader read(lookup);
    SimulatorSettings s;
    MeterSetup& meter = s.meter;

    const std::optional<std::int64_t> records =
        read.Number("VELSIM_RECORDS", 0, MostRecords, "a record count", std::to_string(DefaultRecords));
    std::optional<std::vector<ArchiveEntry>> archive;
    if (const std::optional<std::string> path = read.Value("VELSIM_ARCHIVE")) {
        archive = ArchiveFileEntries(*path);
        if (!archive)
            read.Refuse("VELSIM_ARCHIVE", *path, "the file cannot be read", "generated records");
    }
    meter.archive = archive ? std::move(*archive) : GenerateArchive(static_cast<int>(records.value_or(DefaultRecords)));
    if (const std::optional<std::string> text = read.Value("VELSIM_NEXT")) {
        const std::optional<std::vector<std::uint16_t>> nexts = IndexList(*text);
        if (nexts && nexts->size() == meter.archive.size())
            Rechain(meter.archive, *nexts);
        else
            read.Refuse("VELSIM_NEXT", *text,
                        "must be one index from 0 to 65535 per record held (" + std::to_string(meter.archive.size()) +
                            "), separated by ','",
                        "the chain in order");
    }

    if (const auto n = read.Number("VELSIM_COUNT", 0, MostRecords, "a record count", "the number held"))
        meter.reportedCount = static_cast<std::uint16_t>(*n);

    const std::optional<std::string> ident = read.Value("VELSIM_IDENT");
    std::optional<std::vector<std::uint8_t>> identBytes;
    if (ident) {
        identBytes = MeterTextBytes(*ident);
        if (!identBytes)
            read.Refuse("VELSIM_IDENT", *ident, "a character has no place in Windows-1251", "the default text");
    }
    meter.usbIdent = identBytes ? std::move(*identBytes) : *MeterTextBytes(DefaultSimulatorIdent);

    if (const std::optional<std::string> chars = read.Value("VELSIM_IDENT_CHARS")) {
        // The code page has one byte per character, so six bytes are six characters.
        const std::optional<std::vector<std::uint8_t>> bytes = MeterTextBytes(*chars);
        if (bytes && bytes->size() == IdentCharCount)
            std::copy(bytes->begin(), bytes->end(), meter.identChars.begin());
        else
            read.Refuse("VELSIM_IDENT_CHARS", *chars, "must be exactly six characters of Windows-1251",
                        "the default characters");
    }

    std::optional<QByteArray> screen;
    if (const std::optional<std::string> path = read.Value("VELSIM_SCREEN")) {
        screen = FileBytes(*path);
        if (!screen)
            read.Refuse("VELSIM_SCREEN", *path, "the file cannot be read", "the generated image");
    }
    meter.screen = screen ? ToBytes(*screen) : GenerateScreenImage();

    if (const auto size = read.Number("VELSIM_RECORD_SIZE", Int32Min, 65536, "a part size in bytes", "24"))
        meter.usbRecordSize = static_cast<std::int32_t>(*size);
    if (const auto ms = read.Number("VELSIM_LATENCY", 0, 3600000, "a delay in ms", "20"))
        meter.answerDelay = std::chrono::milliseconds(*ms);

    if (const std::optional<std::string> plan = read.Value("VELSIM_FAULTS")) {
        FaultPlanResult faults = ParseFaultPlan(*plan);
        if (faults.faults)
            meter.faults = std::move(*faults.faults);
        else
            read.Refuse("VELSIM_FAULTS", *plan, faults.error, "no faults");
    }

    if (const std::optional<std::string> absent = read.Value("VELSIM_ABSENT")) {
        if (*absent == "0" || *absent == "1")
            s.bus.absent = *absent == "1";
        else
            read.Refuse("VELSIM_ABSENT", *absent, "must be 1 (not plugged in) or 0 (plugged in)", "0");
    }
    if (const auto meters = read.Number("VELSIM_METERS", 1, 16, "a number of meters", "1"))
        s.bus.meters = static_cast<int>(*meters);
    if (const auto r = read.Number("VELSIM_CONFIG_RESULT", Int32Min, Int32Max, "a whole number", "0"))
        s.bus.configResult = static_cast<int>(*r);
    if (const auto r = read.Number("VELSIM_CLAIM_RESULT", Int32Min, Int32Max, "a whole number", "0"))
        s.bus.claimResult = static_cast<int>(*r);
    if (const std::optional<std::string> instant = read.Value("VELSIM_INSTANT_TIMEOUTS")) {
        if (*instant == "0" || *instant == "1")
            s.bus.instantTimeouts = *instant == "1";
        else
            read.Refuse("VELSIM_INSTANT_TIMEOUTS", *instant, "must be 1 (at once) or 0 (after the time-out)", "0");
    }

    return {std::move(s), std::move(read).Errors()};
}
