#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <map>
#include <optional>

#include <sys/resource.h>

// Process-wide state that a test changes, put back as it was when the
// helper's scope ends: the current folder, the environment, the program's
// paths (SettingsPath, LinkLogPath, ...), the file size limit with the
// disposition of SIGXFSZ, and QStandardPaths' test mode. Tests that change any
// of these do it through one of these helpers, never directly.
class ScopedProcessState {
public:
    ScopedProcessState();
    ~ScopedProcessState();
    ScopedProcessState(const ScopedProcessState&) = delete;
    ScopedProcessState& operator=(const ScopedProcessState&) = delete;

    // The program's paths as start-up sets them for a program in folder.
    void SetProgramFolder(const QString& folder);
    void SetCurrentFolder(const QString& folder);
    // An empty optional removes the variable.
    void SetEnvironment(const char* name, const std::optional<QByteArray>& value);
    // Files may grow to at most bytes; a write beyond fails as on a full disk.
    void LimitFileSize(rlim_t bytes);
    void SetStandardPathsTestMode(bool on);

private:
    QString currentFolder_;
    std::map<QByteArray, std::optional<QByteArray>> environment_;  // the variables changed, as they were
    QString programDir_, dataDir_, settingsPath_, helpFilePath_, linkLogPath_;
    std::optional<rlimit> fileSizeLimit_;
    void (*fileSizeSignal_)(int) = SIG_DFL;
    std::optional<bool> standardPathsTestMode_;
};

// A temporary folder the program's paths point into while it lives, as if the
// program were started there: its settings file, its link log.
struct TemporaryProgramFolder {
    TemporaryProgramFolder() { state.SetProgramFolder(folder.path()); }

    ScopedProcessState state;
    QTemporaryDir folder;
};
