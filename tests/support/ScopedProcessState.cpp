#include "support/ScopedProcessState.h"

#include "app/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdlib>

ScopedProcessState::ScopedProcessState()
    : currentFolder_(QDir::currentPath()),
      programDir_(ProgramDir),
      dataDir_(DataDir),
      settingsPath_(SettingsPath),
      helpFilePath_(HelpFilePath),
      linkLogPath_(LinkLogPath) {}

ScopedProcessState::~ScopedProcessState() {
    if (standardPathsTestMode_)
        QStandardPaths::setTestModeEnabled(*standardPathsTestMode_);
    if (fileSizeLimit_) {
        setrlimit(RLIMIT_FSIZE, &*fileSizeLimit_);
        std::signal(SIGXFSZ, fileSizeSignal_);
    }
    for (const auto& [name, value] : environment_) {
        if (value)
            setenv(name.constData(), value->constData(), 1);
        else
            unsetenv(name.constData());
    }
    QDir::setCurrent(currentFolder_);
    ProgramDir = programDir_;
    DataDir = dataDir_;
    SettingsPath = settingsPath_;
    HelpFilePath = helpFilePath_;
    LinkLogPath = linkLogPath_;
}

void ScopedProcessState::SetProgramFolder(const QString& folder) {
    SetProgramPaths(folder);
}

void ScopedProcessState::SetCurrentFolder(const QString& folder) {
    QDir::setCurrent(folder);
}

void ScopedProcessState::SetEnvironment(const char* name, const std::optional<QByteArray>& value) {
    if (!environment_.count(name)) {
        const char* old = std::getenv(name);
        environment_[name] = old ? std::optional<QByteArray>(old) : std::nullopt;
    }
    if (value)
        setenv(name, value->constData(), 1);
    else
        unsetenv(name);
}

void ScopedProcessState::LimitFileSize(rlim_t bytes) {
    if (!fileSizeLimit_) {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        fileSizeLimit_ = old;
        // Without this the first write beyond the limit ends the test program.
        fileSizeSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    rlimit limit = *fileSizeLimit_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

void ScopedProcessState::SetStandardPathsTestMode(bool on) {
    if (!standardPathsTestMode_)
        standardPathsTestMode_ = QStandardPaths::isTestModeEnabled();
    QStandardPaths::setTestModeEnabled(on);
}
