#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>
#include <mutex>

// The USB link's log: a day header opens each run and each new date; every
// entry is one "hh:mm:ss message" line, appended and closed at once so the
// file is complete even if the program ends abruptly. Nothing about the log is
// ever reported.
//
// Safe to call from the USB worker and the user-interface thread at once: one
// lock around each append, so no entry is lost or split.
class TLinkLog {
public:
    using Clock = std::function<QDateTime()>;
    // Whether the log is on; asked at every Start.
    using Switch = std::function<bool()>;

    // A log that is off and writes nowhere until it is configured.
    TLinkLog() = default;
    TLinkLog(const QString& path, Switch isOn, Clock clock = &QDateTime::currentDateTime);

    // The file the log appends to and what switches it on; takes effect at
    // the next Start.
    void Configure(const QString& path, Switch isOn);

    // Reads the switch and, when it is on, writes a day header for today,
    // creating the file if needed.
    void Start();
    // Appends one entry: line breaks at the ends of the message are dropped,
    // those inside become blanks. Dropped while the log is off, and while the
    // file is missing (only Start creates it). The first entry of a new date is
    // preceded by a new day header, the switch being read again for it.
    void Write(const QString& message);

    bool Enabled() const;

private:
    void StartLocked(const QDateTime& now);

    QString path_;
    Switch isOn_;
    Clock clock_ = &QDateTime::currentDateTime;
    mutable std::mutex lock_;
    bool enabled_ = false;
    bool dateTaken_ = false;
    QDate logDate_;
};

// [Debug] LogUSB switches the link log on when it begins with "Y" (upper case
// only).
bool LinkLogSwitchOn(const QString& logUsb);
// The switch as the settings file holds it now.
bool LinkLogSwitchFromSettings();

// The program's link log; start-up points it at LinkLogPath and the settings.
extern TLinkLog LinkLog;

inline void StartLinkLog() {
    LinkLog.Start();
}
inline void WriteLinkLog(const QString& message) {
    LinkLog.Write(message);
}
