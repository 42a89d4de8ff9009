#pragma once

// The benchmarks' main window runs on the tests' fakes: a folder of its own,
// no process exit, and dialogs that answer at once.

#include "archive/Archive.h"
#include "support/FakeEnvironment.h"

// Every file dialog chooses path, every question is answered Yes.
inline void AnswerEverything(FakeEnvironment& env, const QString& path) {
    env.fileDialogs.whenScriptEnds = path;
    env.messageBoxes.whenScriptEnds = MessageBox::IDYES;
}

// A full archive of plausible measurements.
inline void FillArchive() {
    Archive.Count = ArchiveCapacity;
    for (int i = 0; i < ArchiveCapacity; ++i) {
        TMeasurement& m = Archive.Records[i];
        m = TMeasurement{};
        m.Number = static_cast<std::uint16_t>(i + 1);
        m.Hour = static_cast<std::uint8_t>(i % 24);
        m.Minute = static_cast<std::uint8_t>(i % 60);
        m.Second = static_cast<std::uint8_t>(i % 60);
        m.Day = static_cast<std::uint8_t>(1 + i % 28);
        m.Month = static_cast<std::uint8_t>(1 + i % 12);
        m.Year = 26;
        m.Material = static_cast<std::int8_t>(i % 17);
        m.Density = 2000.0f + static_cast<float>(i) * 0.37f;
        m.Temperature = 20.0f + static_cast<float>(i % 100) * 0.1f;
    }
}
