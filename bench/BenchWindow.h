#pragma once

// A main window for benchmarks: a folder of its own, no process exit, and
// dialogs that answer at once (a set path, Yes to every question).

#include "app/Environment.h"
#include "archive/Archive.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"

#include <QTemporaryDir>

class NoExit final : public ProcessExit {
public:
    void Exit(int) override {}
};

class AnsweringDialogs final : public FileDialogs, public MessageBoxes {
public:
    bool ExecuteOpen(TFileDialog& dialog) override { return Choose(dialog); }
    bool ExecuteSave(TFileDialog& dialog) override { return Choose(dialog); }
    int Show(const QString&, const QString&, unsigned) override { return MessageBox::IDYES; }
    QString path;

private:
    bool Choose(TFileDialog& dialog) {
        dialog.FileName = path;
        return true;
    }
};

struct BenchWindow {
    QTemporaryDir folder;
    AnsweringDialogs dialogs;
    QtClipboard clipboard;
    NoExit exit;
    Environment Get() { return {folder.path(), &dialogs, &dialogs, &clipboard, &exit}; }
};

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
