#pragma once

#include "app/Environment.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"

#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <vector>

// Message boxes answered from a script; every box shown is recorded.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString caption;
        unsigned type;
    };

    int Show(const QString& text, const QString& caption, unsigned type) override;

    std::deque<int> answers;  // the next answer first; an empty script answers IDCANCEL
    std::vector<Shown> shown;
};

// File dialogs answered from a script: a path chooses it, nothing cancels.
// Every dialog shown is recorded with its settings as they were shown.
class ScriptedFileDialogs final : public FileDialogs {
public:
    struct Shown {
        bool save;
        TFileDialog dialog;
    };

    bool ExecuteOpen(TFileDialog& dialog) override { return Answer(false, dialog); }
    bool ExecuteSave(TFileDialog& dialog) override { return Answer(true, dialog); }

    std::deque<std::optional<QString>> answers;  // an empty script cancels
    std::vector<Shown> shown;

private:
    bool Answer(bool save, TFileDialog& dialog);
};

// The real clipboard, or one that another program holds.
class TestClipboard final : public Clipboard {
public:
    bool SetText(const QString& text) override { return held ? false : real.SetText(text); }
    bool held = false;
    QtClipboard real;
};

// Records exit codes instead of ending the test program.
class RecordingProcessExit final : public ProcessExit {
public:
    void Exit(int code) override { codes.push_back(code); }
    std::vector<int> codes;
};

// A program folder of its own (settings file, log) and the fakes above.
struct FakeEnvironment {
    FakeEnvironment();

    Environment Get() { return {folder.path(), &messageBoxes, &fileDialogs, &clipboard, &processExit}; }
    QString SettingsFile() const { return folder.filePath(QStringLiteral("Vel.ini")); }
    // Writes the settings file before the window starts.
    void WriteSettings(const QByteArray& content) const;

    QTemporaryDir folder;
    ScriptedMessageBoxes messageBoxes;
    ScriptedFileDialogs fileDialogs;
    TestClipboard clipboard;
    RecordingProcessExit processExit;
};
