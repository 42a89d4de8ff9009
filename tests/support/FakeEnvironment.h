#pragma once

#include "app/Environment.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"

#include <QString>
#include <QTemporaryDir>

#include <deque>
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

// Records exit codes instead of ending the test program.
class RecordingProcessExit final : public ProcessExit {
public:
    void Exit(int code) override { codes.push_back(code); }
    std::vector<int> codes;
};

// A program folder of its own (settings file, log) and the fakes above.
struct FakeEnvironment {
    FakeEnvironment();

    Environment Get() { return {folder.path(), &messageBoxes, &processExit}; }
    QString SettingsFile() const { return folder.filePath(QStringLiteral("Vel.ini")); }
    // Writes the settings file before the window starts.
    void WriteSettings(const QByteArray& content) const;

    QTemporaryDir folder;
    ScriptedMessageBoxes messageBoxes;
    RecordingProcessExit processExit;
};
