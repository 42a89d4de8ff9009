#pragma once

#include "platform/ComPortList.h"
#include "platform/ProcessExit.h"
#include "platform/VersionRecord.h"
#include "platform/widgets/Clipboard.h"
#include "platform/widgets/ColorDialogs.h"
#include "platform/widgets/Desktop.h"
#include "platform/widgets/FileDialogs.h"
#include "platform/widgets/MessageBox.h"
#include "support/FakeCommApi.h"
#include "support/ScopedProcessState.h"
#include "ui/Environment.h"

#include <QMap>
#include <QString>
#include <QUrl>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <string>
#include <vector>

// Message boxes answered from a script, then by whenScriptEnds; every box
// shown is recorded.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString caption;
        unsigned type;
    };

    int Show(const QString& text, const QString& caption, unsigned type) override;

    std::deque<int> answers;  // the next answer first
    int whenScriptEnds = MessageBox::IDCANCEL;
    std::vector<Shown> shown;
};

// File dialogs answered from a script: a path chooses it, nothing cancels;
// once the script has run out, whenScriptEnds answers. Every dialog shown is
// recorded with its settings as they were shown.
class ScriptedFileDialogs final : public FileDialogs {
public:
    struct Shown {
        bool save;
        TFileDialog dialog;
    };

    bool ExecuteOpen(TFileDialog& dialog) override { return Answer(false, dialog); }
    bool ExecuteSave(TFileDialog& dialog) override { return Answer(true, dialog); }

    std::deque<std::optional<QString>> answers;
    std::optional<QString> whenScriptEnds;
    std::vector<Shown> shown;

private:
    bool Answer(bool save, TFileDialog& dialog);
};

// The real clipboard, one that another program holds, or one whose use
// raises an exception with the text given.
class TestClipboard final : public Clipboard {
public:
    bool SetText(const QString& text) override;
    bool SetImage(const QImage& image) override;
    bool held = false;
    std::optional<std::string> raises;
    QtClipboard real;
};

// Colour dialogs answered from a script: a colour chooses it, nothing
// cancels; once the script has run out, the user cancels. The colour each
// dialog was preset to is recorded.
class ScriptedColorDialogs final : public ColorDialogs {
public:
    bool Execute(TColor& colour) override;

    std::deque<std::optional<TColor>> answers;
    std::vector<TColor> presets;
};

// Records exit codes instead of ending the test program.
class RecordingProcessExit final : public ProcessExit {
public:
    void Exit(int code) override { codes.push_back(code); }
    std::vector<int> codes;
};

// Serial ports present by list.
class ListedComPorts final : public ComPortList {
public:
    QStringList PresentPorts() override { return names; }
    QStringList names;
};

// A desktop that opens nothing: the addresses handed to it and the programs
// started are recorded; programs are "installed" by name.
class RecordingDesktop final : public Desktop {
public:
    bool OpenUrl(const QUrl& url) override {
        urls.push_back(url);
        return true;
    }
    QString FindProgram(const QString& name) override { return installed.value(name); }
    bool StartProgram(const QString& program, const QStringList& arguments) override {
        started.push_back(QStringList{program} + arguments);
        return true;
    }
    std::vector<QUrl> urls;
    std::vector<QStringList> started;
    QMap<QString, QString> installed;  // name -> path
};

// The program's own version record unless a test sets another.
class ScriptedVersionRecords final : public VersionRecords {
public:
    int InfoSize() const override { return size; }
    std::optional<VersionBlock> Read() const override { return block; }
    int size = 1;
    std::optional<VersionBlock> block = CompiledVersionRecord().Read();
};

// A program folder of its own (settings file, log) and the fakes above. The
// program's paths are put back when it goes.
struct FakeEnvironment {
    FakeEnvironment();

    Environment Get() {
        return {folder.path(), &messageBoxes, &fileDialogs, &clipboard, &processExit, &commApi, &comPorts,
                &colorDialogs, &desktop, &versionRecords};
    }
    QString SettingsFile() const { return folder.filePath(QStringLiteral("Vel.ini")); }
    // Writes the settings file before the window starts.
    void WriteSettings(const QByteArray& content) const;

    ScopedProcessState processState;
    QTemporaryDir folder;
    ScriptedMessageBoxes messageBoxes;
    ScriptedFileDialogs fileDialogs;
    ScriptedColorDialogs colorDialogs;
    TestClipboard clipboard;
    RecordingProcessExit processExit;
    // COM1 is present, with a meter attached (CTS follows RTS), as the
    // window opens it when no port is stored.
    FakeCommApi commApi;
    ListedComPorts comPorts;
    RecordingDesktop desktop;
    ScriptedVersionRecords versionRecords;
};
