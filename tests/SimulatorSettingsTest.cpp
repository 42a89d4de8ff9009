#include "sim/SimulatorSettings.h"

#include "protocol/MeterText.h"
#include "protocol/UsbAnswers.h"
#include "sim/GeneratedArchive.h"
#include "sim/GeneratedScreen.h"
#include "support/Bytes.h"
#include "support/Records.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

namespace {

using namespace std::chrono_literals;
using Values = std::map<std::string, std::string>;

SettingsReading ReadFrom(const Values& values) {
    return ReadSimulatorSettings([&values](const std::string& name) -> std::optional<std::string> {
        const auto it = values.find(name);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    });
}

std::string WriteFile(const QTemporaryDir& dir, const char* name, const ByteVector& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path.toStdString();
}

TEST(SimulatorSettings, NothingSetGivesAPlausibleMeter) {
    const SettingsReading reading = ReadFrom({});
    EXPECT_TRUE(reading.errors.empty());
    const MeterSetup& meter = reading.settings.meter;
    EXPECT_EQ(meter.archive, GenerateArchive(10));
    EXPECT_EQ(meter.reportedCount, std::nullopt);
    EXPECT_EQ(meter.usbRecordSize, 24);
    EXPECT_EQ(meter.answerDelay, 20ms);
    EXPECT_EQ(meter.identChars, MeterSetup{}.identChars);
    EXPECT_TRUE(meter.faults.empty());
    EXPECT_EQ(meter.screen, GenerateScreenImage());
    EXPECT_EQ(reading.settings.bus, BusOptions{});
    EXPECT_EQ(reading.settings.bus, (BusOptions{false, 1, 0, 0}));

    // The identification in the meter's code page, one byte a character.
    const QString ident = DecodeMeterText(meter.usbIdent);
    EXPECT_EQ(ident, QString::fromUtf8(DefaultSimulatorIdent));
    EXPECT_LE(meter.usbIdent.size(), static_cast<std::size_t>(DeviceIdentMaxLength));
    EXPECT_TRUE(ident.contains(QStringLiteral("(симулятор)"))) << ident.toStdString();
    EXPECT_TRUE(ident.contains(QRegularExpression(QStringLiteral("\\d{3,}")))) << "a serial number";
}

TEST(SimulatorSettings, EachSettingShapesItsPart) {
    using Check = std::function<void(const SimulatorSettings&)>;
    struct Case {
        const char* name;
        const char* value;
        Check check;
    };
    const Case cases[] = {
        {"VELSIM_RECORDS", "3", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.archive, GenerateArchive(3)); }},
        {"VELSIM_RECORDS", "0", [](const SimulatorSettings& s) { EXPECT_TRUE(s.meter.archive.empty()); }},
        {"VELSIM_RECORDS", "2677",
         [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.archive.size(), 2677u); }},
        {"VELSIM_COUNT", "5", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.reportedCount, 5); }},
        {"VELSIM_COUNT", "0", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.reportedCount, 0); }},
        {"VELSIM_IDENT", "AБ№ я",
         [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.usbIdent, Bytes({0x41, 0xC1, 0xB9, 0x20, 0xFF})); }},
        {"VELSIM_IDENT", "", [](const SimulatorSettings& s) { EXPECT_TRUE(s.meter.usbIdent.empty()); }},
        {"VELSIM_IDENT", "0123456789012345678901234567890123456789012345678901234567890123456789",
         [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.usbIdent.size(), 70u) << "longer than the program reads"; }},
        {"VELSIM_IDENT_CHARS", "150311",
         [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.identChars, (IdentChars{'1', '5', '0', '3', '1', '1'})); }},
        {"VELSIM_IDENT_CHARS", "АБ №я ",
         [](const SimulatorSettings& s) {
             EXPECT_EQ(s.meter.identChars, (IdentChars{0xC0, 0xC1, 0x20, 0xB9, 0xFF, 0x20}));
         }},
        {"VELSIM_RECORD_SIZE", "30", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.usbRecordSize, 30); }},
        {"VELSIM_RECORD_SIZE", "-1", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.usbRecordSize, -1); }},
        {"VELSIM_LATENCY", "0", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.answerDelay, 0ms); }},
        {"VELSIM_LATENCY", "250", [](const SimulatorSettings& s) { EXPECT_EQ(s.meter.answerDelay, 250ms); }},
        {"VELSIM_FAULTS", "record@2:no-answer; count:length=-3",
         [](const SimulatorSettings& s) {
             EXPECT_EQ(s.meter.faults, (std::vector<MeterFault>{{MeterCommand::Record, 2, FaultKind::NoAnswer},
                                                                {MeterCommand::Count, 0, FaultKind::LengthField, -3}}));
         }},
        {"VELSIM_FAULTS", "", [](const SimulatorSettings& s) { EXPECT_TRUE(s.meter.faults.empty()); }},
        {"VELSIM_ABSENT", "1", [](const SimulatorSettings& s) { EXPECT_TRUE(s.bus.absent); }},
        {"VELSIM_ABSENT", "0", [](const SimulatorSettings& s) { EXPECT_FALSE(s.bus.absent); }},
        {"VELSIM_METERS", "2", [](const SimulatorSettings& s) { EXPECT_EQ(s.bus.meters, 2); }},
        {"VELSIM_CONFIG_RESULT", "-16", [](const SimulatorSettings& s) { EXPECT_EQ(s.bus.configResult, -16); }},
        {"VELSIM_CLAIM_RESULT", "-16", [](const SimulatorSettings& s) { EXPECT_EQ(s.bus.claimResult, -16); }},
        {"VELSIM_INSTANT_TIMEOUTS", "1", [](const SimulatorSettings& s) { EXPECT_TRUE(s.bus.instantTimeouts); }},
    };
    const SimulatorSettings defaults = ReadFrom({}).settings;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        const SettingsReading reading = ReadFrom({{c.name, c.value}});
        EXPECT_TRUE(reading.errors.empty());
        c.check(reading.settings);
        // Nothing else changes: set the checked part back and compare the rest.
        SimulatorSettings rest = reading.settings;
        const std::string name = c.name;
        if (name == "VELSIM_RECORDS")
            rest.meter.archive = defaults.meter.archive;
        else if (name == "VELSIM_COUNT")
            rest.meter.reportedCount = defaults.meter.reportedCount;
        else if (name == "VELSIM_IDENT")
            rest.meter.usbIdent = defaults.meter.usbIdent;
        else if (name == "VELSIM_IDENT_CHARS")
            rest.meter.identChars = defaults.meter.identChars;
        else if (name == "VELSIM_RECORD_SIZE")
            rest.meter.usbRecordSize = defaults.meter.usbRecordSize;
        else if (name == "VELSIM_LATENCY")
            rest.meter.answerDelay = defaults.meter.answerDelay;
        else if (name == "VELSIM_FAULTS")
            rest.meter.faults = defaults.meter.faults;
        else
            rest.bus = defaults.bus;
        EXPECT_EQ(rest.meter, defaults.meter);
        EXPECT_EQ(rest.bus, defaults.bus);
    }
}

TEST(SimulatorSettings, FilesGiveTheArchiveAndTheScreen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const DeviceRecord r1 = ToDeviceRecord(MakeRecord(7, 9, 30, 5, 12, 6, 23, 2301.5f, 2, 131.0f));
    const DeviceRecord r2 = ToDeviceRecord(MakeRecord(8, 9, 41, 59, 12, 6, 23, 2288.0f, 3, 128.5f));
    TMeasurement odd = MakeRecord(9, 10, 2, DeletedMark, 12, 6, 23, 1999.0f, 16, -4.0f);
    odd.Reserved = 0x5A;
    const DeviceRecord r3 = ToDeviceRecord(odd);
    ByteVector file;
    for (const DeviceRecord& r : {r1, r2, r3})
        file.insert(file.end(), r.begin(), r.end());
    file.insert(file.end(), {0x01, 0x02, 0x03});  // no whole record: not held
    const std::string archive = WriteFile(dir, "three.Vel", file);
    const std::string screen = WriteFile(dir, "screen.bin", Bytes({0x10, 0x20, 0x30, 0x40, 0x50}));

    const SettingsReading reading =
        ReadFrom({{"VELSIM_ARCHIVE", archive}, {"VELSIM_RECORDS", "50"}, {"VELSIM_SCREEN", screen}});
    EXPECT_TRUE(reading.errors.empty());
    EXPECT_EQ(reading.settings.meter.archive,
              (std::vector<ArchiveEntry>{{0, r1, 1}, {1, r2, 2}, {2, r3, EndMark}}))
        << "the file's records as they are, in file order; the generated ones are not used";
    EXPECT_EQ(reading.settings.meter.screen, Bytes({0x10, 0x20, 0x30, 0x40, 0x50}));

    const std::string empty = WriteFile(dir, "empty.Vel", {});
    EXPECT_TRUE(ReadFrom({{"VELSIM_ARCHIVE", empty}, {"VELSIM_SCREEN", empty}}).settings.meter.archive.empty());
    EXPECT_TRUE(ReadFrom({{"VELSIM_SCREEN", empty}}).settings.meter.screen.empty());
}

TEST(SimulatorSettings, NextIndicesRechainTheRecords) {
    const SettingsReading reading = ReadFrom({{"VELSIM_RECORDS", "3"}, {"VELSIM_NEXT", "5,9,65535"}});
    EXPECT_TRUE(reading.errors.empty());
    const std::vector<ArchiveEntry>& archive = reading.settings.meter.archive;
    const std::vector<ArchiveEntry> natural = GenerateArchive(3);
    ASSERT_EQ(archive.size(), 3u);
    EXPECT_EQ(archive, (std::vector<ArchiveEntry>{{0, natural[0].record, 5}, {5, natural[1].record, 9},
                                                  {9, natural[2].record, EndMark}}));

    for (const char* bad : {"5,9", "5,9,1,2", "5,,9", "5,9,65536", "5, 9,1", "", "5,9,"}) {
        SCOPED_TRACE(bad);
        const SettingsReading refused = ReadFrom({{"VELSIM_RECORDS", "3"}, {"VELSIM_NEXT", bad}});
        ASSERT_EQ(refused.errors.size(), 1u);
        EXPECT_EQ(refused.errors[0].name, "VELSIM_NEXT");
        EXPECT_EQ(refused.settings.meter.archive, natural);
    }
}

// A refused value leaves the setting at its default and names it.
TEST(SimulatorSettings, BadValuesAreRefusedByName) {
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"VELSIM_RECORDS", "abc"},
        {"VELSIM_RECORDS", "-1"},
        {"VELSIM_RECORDS", "65536"},
        {"VELSIM_RECORDS", ""},
        {"VELSIM_RECORDS", " 5"},
        {"VELSIM_RECORDS", "5 "},
        {"VELSIM_COUNT", "70000"},
        {"VELSIM_IDENT", "日本"},
        {"VELSIM_IDENT", "\xff\xfe"},
        {"VELSIM_IDENT_CHARS", "12345"},
        {"VELSIM_IDENT_CHARS", "1234567"},
        {"VELSIM_IDENT_CHARS", ""},
        {"VELSIM_IDENT_CHARS", "12345日"},
        {"VELSIM_RECORD_SIZE", "65537"},
        {"VELSIM_LATENCY", "-5"},
        {"VELSIM_LATENCY", "1.5"},
        {"VELSIM_FAULTS", "ident:bogus"},
        {"VELSIM_ABSENT", "yes"},
        {"VELSIM_ABSENT", "2"},
        {"VELSIM_ABSENT", ""},
        {"VELSIM_METERS", "0"},
        {"VELSIM_METERS", "17"},
        {"VELSIM_CONFIG_RESULT", "x"},
        {"VELSIM_CLAIM_RESULT", "2147483648"},
        {"VELSIM_INSTANT_TIMEOUTS", "yes"},
        {"VELSIM_ARCHIVE", "/nonexistent/folder/archive.Vel"},
        {"VELSIM_ARCHIVE", "/"},
        {"VELSIM_SCREEN", "/nonexistent/folder/screen.bin"},
    };
    const SimulatorSettings defaults = ReadFrom({}).settings;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        const SettingsReading reading = ReadFrom({{c.name, c.value}});
        ASSERT_EQ(reading.errors.size(), 1u);
        EXPECT_EQ(reading.errors[0].name, c.name);
        EXPECT_NE(reading.errors[0].message.find(c.name), std::string::npos) << reading.errors[0].message;
        EXPECT_EQ(reading.settings.meter, defaults.meter);
        EXPECT_EQ(reading.settings.bus, defaults.bus);
    }

    // Each refusal on its own; the good settings beside them still count.
    const SettingsReading mixed =
        ReadFrom({{"VELSIM_LATENCY", "soon"}, {"VELSIM_COUNT", "4"}, {"VELSIM_METERS", "many"}});
    ASSERT_EQ(mixed.errors.size(), 2u);
    EXPECT_EQ((std::set<std::string>{mixed.errors[0].name, mixed.errors[1].name}),
              (std::set<std::string>{"VELSIM_LATENCY", "VELSIM_METERS"}));
    EXPECT_EQ(mixed.settings.meter.reportedCount, 4);
    EXPECT_EQ(mixed.settings.meter.answerDelay, 20ms);
    EXPECT_EQ(mixed.settings.bus.meters, 1);
}

TEST(SimulatorSettings, KnowsItsNames) {
    const char* const serial[] = {"VELSIM_ARCHIVE",     "VELSIM_RECORDS", "VELSIM_COUNT",
                                  "VELSIM_IDENT_CHARS", "VELSIM_LATENCY", "VELSIM_FAULTS"};
    const char* const usbOnly[] = {"VELSIM_IDENT",  "VELSIM_SCREEN",        "VELSIM_RECORD_SIZE", "VELSIM_ABSENT",
                                   "VELSIM_METERS", "VELSIM_CONFIG_RESULT", "VELSIM_CLAIM_RESULT",
                                   "VELSIM_INSTANT_TIMEOUTS"};
    for (const char* name : serial) {
        EXPECT_TRUE(IsSimulatorSetting(name)) << name;
        EXPECT_TRUE(IsSerialMeterSetting(name)) << name;
    }
    for (const char* name : usbOnly) {
        EXPECT_TRUE(IsSimulatorSetting(name)) << name;
        EXPECT_FALSE(IsSerialMeterSetting(name)) << name;
    }
    for (const char* name : {"", "VELSIM_", "velsim_records", "VELSIM_RECORD", "VELSIM_RECORDS ", "RECORDS"}) {
        EXPECT_FALSE(IsSimulatorSetting(name)) << name;
        EXPECT_FALSE(IsSerialMeterSetting(name)) << name;
    }
}

}  // namespace
