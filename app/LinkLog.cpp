#include "app/LinkLog.h"

#include "app/Settings.h"

#include <QFile>

TLinkLog LinkLog;

namespace {

bool AppendToExisting(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly))
        return false;
    file.write(bytes);
    return true;
}

QString OneLine(QString message) {
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    qsizetype first = 0;
    while (first < message.size() && isBreak(message[first]))
        ++first;
    qsizetype end = message.size();
    while (end > first && isBreak(message[end - 1]))
        --end;
    message = message.mid(first, end - first);
    for (QChar& c : message)
        if (isBreak(c))
            c = QLatin1Char(' ');
    return message;
}

}  // namespace

bool LinkLogSwitchOn(const QString& logUsb) {
    return logUsb.startsWith(QLatin1Char('Y'));
}

bool LinkLogSwitchFromSettings() {
    return LinkLogSwitchOn(ReadSetting(QStringLiteral("Debug"), QStringLiteral("LogUSB"), QStringLiteral("N"), 8));
}

TLinkLog::TLinkLog(const QString& path, Switch isOn, Clock clock)
    : path_(path), isOn_(std::move(isOn)), clock_(std::move(clock)) {}

void TLinkLog::Configure(const QString& path, Switch isOn) {
    const std::lock_guard guard(lock_);
    path_ = path;
    isOn_ = std::move(isOn);
}

void TLinkLog::Start() {
    const std::lock_guard guard(lock_);
    StartLocked(clock_());
}

void TLinkLog::StartLocked(const QDateTime& now) {
    enabled_ = isOn_ && isOn_();
    if (!enabled_ || path_.isEmpty())
        return;
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString header = QStringLiteral("\r\n========== %1 ==========\r\n").arg(now.toString(QStringLiteral("dd.MM.yyyy")));
    file.write(header.toUtf8());
}

void TLinkLog::Write(const QString& message) {
    const std::lock_guard guard(lock_);
    const QDateTime now = clock_();
    if (!dateTaken_) {
        logDate_ = now.date();
        dateTaken_ = true;
    }
    if (!enabled_)
        return;
    if (now.date() != logDate_) {
        StartLocked(now);
        logDate_ = now.date();
    }
    const QString entry = now.toString(QStringLiteral("hh:mm:ss ")) + OneLine(message) + QStringLiteral("\r\n");
    AppendToExisting(path_, entry.toUtf8());
}

bool TLinkLog::Enabled() const {
    const std::lock_guard guard(lock_);
    return enabled_;
}
