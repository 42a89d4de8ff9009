#pragma once

#include "sim/MeterModel.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings of a simulated meter, by name. The same names serve the
// environment of a program started against a simulator and the calls a test
// makes to change the USB simulator while it runs. The serial simulator
// (sim/serial/) takes the ones marked "serial" and ignores the others:
//
//   VELSIM_ARCHIVE       serial, USB: path of a .Vel file; the meter holds its
//                        records (up to the archive capacity), chained in file
//                        order
//   VELSIM_RECORDS       serial, USB: N generated records when no archive file
//                        is named (0 to 65535, default 10)
//   VELSIM_NEXT          serial: the next index each record's answer gives, one
//                        per record held, separated by ',' (0 to 65535 each);
//                        each record after the first is asked for by the index
//                        the one before gives (default: 1, 2, ... and 65535
//                        after the last)
//   VELSIM_COUNT         serial, USB: N the count answer reports (0 to 65535;
//                        default: the number of records held)
//   VELSIM_IDENT         USB: identification text, UTF-8, sent as Windows-1251
//                        bytes (any length, every character must exist in the
//                        code page; default DefaultSimulatorIdent)
//   VELSIM_IDENT_CHARS   serial: the six identification characters, UTF-8, sent
//                        as Windows-1251 bytes (exactly six, each in the code
//                        page; default MeterSetup's, shown as 01.01.2024)
//   VELSIM_SCREEN        USB: path of a file whose bytes are the screen image,
//                        sent as they are, any length (default
//                        GenerateScreenImage)
//   VELSIM_RECORD_SIZE   USB: s in the record block header (up to 65536,
//                        negative allowed; default 24)
//   VELSIM_LATENCY       serial, USB: ms from a command to its answer (0 to
//                        3600000; default 20, the serial simulator's 10)
//   VELSIM_FAULTS        serial, USB: a fault plan (ParseFaultPlan; default none)
//   VELSIM_ABSENT        USB: 1: the meter is not plugged in; 0: it is (default 0)
//   VELSIM_METERS        USB: matching meters on the bus (1 to 16, default 1)
//   VELSIM_CONFIG_RESULT USB: what selecting the configuration returns (default 0)
//   VELSIM_CLAIM_RESULT  USB: what claiming the interface returns (default 0)
//   VELSIM_INSTANT_TIMEOUTS USB: 1: a read that finds no answer part on its
//                        way times out at once instead of after its time-out,
//                        for runs that meet thousands of silent meters (a
//                        fuzzer); parts still due are waited for (default 0)
//
// A value that cannot be used is refused with a message naming the setting,
// and the setting keeps its default.

// How the simulated bus is put together, besides the meter itself.
struct BusOptions {
    bool absent = false;
    int meters = 1;
    int configResult = 0;
    int claimResult = 0;
    bool instantTimeouts = false;

    bool operator==(const BusOptions&) const = default;
};

struct SimulatorSettings {
    MeterSetup meter;
    BusOptions bus;
};

struct SettingError {
    std::string name;     // the refused setting
    std::string message;  // names it, with its value and what it must be
};

struct SettingsReading {
    SimulatorSettings settings;   // the refused settings at their defaults
    std::vector<SettingError> errors;
};

// A setting's value by name; nothing when it is not set. An empty value is a
// value (an empty identification, an empty fault plan).
using SettingLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Every setting from lookup, the files named read now.
SettingsReading ReadSimulatorSettings(const SettingLookup& lookup);

// Whether name is one of the settings above.
bool IsSimulatorSetting(std::string_view name);
// Whether name is one of those the serial meter takes (marked "serial" above).
bool IsSerialMeterSetting(std::string_view name);

// The identification a simulated meter sends when given none, UTF-8: a meter
// name with a serial number, marked as the simulator; at most
// DeviceIdentMaxLength characters.
extern const char* const DefaultSimulatorIdent;
