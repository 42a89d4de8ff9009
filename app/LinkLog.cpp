#include "app/LinkLog.h"

#include "app/AppPaths.h"
#include "app/Settings.h"

#include <QFile>

TLinkLog LinkLog;

namespace {

bool AppendToExisting(const QByteArray& bytes) {
    QFile file(LinkLogPath);
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

TLinkLog::TLinkLog(Clock clock) : clock_(std::move(clock)) {}

void TLinkLog::Start() {
    const std::lock_guard guard(lock_);
    StartLocked(clock_());
}

void TLinkLog::StartLocked(const QDateTime& now) {
    enabled_ = ReadSetting(QStringLiteral("Debug"), QStringLiteral("LogUSB"), QStringLiteral("N"), 8)
                   .startsWith(QLatin1Char('Y'));
    if (!enabled_)
        return;
    QFile file(LinkLogPath);
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
    AppendToExisting(entry.toUtf8());
}

bool TLinkLog::Enabled() const {
    const std::lock_guard guard(lock_);
    return enabled_;
}
