#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What the USB fuzzer's input says about the simulated meter: its records,
// record part size, reported count, identification, screen length and a plan
// of faults. Any bytes decode to a script; a script encodes to the bytes it
// decodes from, so the seeds are written as scripts.
struct UsbFault {
    std::uint8_t command = 0;  // ident, count, record, screen
    std::uint8_t occurrence = 0;
    std::uint8_t kind = 0;     // no-answer, short, wrong-checksum, trickle, length, timeout-after, garbage
    std::int32_t value = 0;
};

struct UsbScript {
    std::uint16_t records = 10;        // 0 to 300, or 2600 to 2799
    std::int32_t recordSize = 24;
    bool reportCount = false;          // a count answer that differs from the records held
    std::uint16_t count = 0;
    std::vector<UsbFault> faults;      // at most 4
    QByteArray ident = "VEL-1";        // Windows-1251 bytes, at most 255

    static UsbScript Decode(const std::uint8_t* data, std::size_t size);
    QByteArray Encode() const;
    // The VELSIM_ settings of the meter (sim/SimulatorSettings.h).
    std::vector<std::pair<std::string, std::string>> Settings() const;
};
