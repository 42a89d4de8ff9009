#pragma once

#include "app/LinkLog.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// The program's link log switched on into a file of its own while this lives;
// off again afterwards.
class CapturedLinkLog {
public:
    CapturedLinkLog() {
        LinkLog.Configure(folder_.filePath(QStringLiteral("LogUSB.log")), [] { return true; });
        LinkLog.Start();
    }
    ~CapturedLinkLog() {
        LinkLog.Configure(QString(), [] { return false; });
        LinkLog.Start();
    }
    CapturedLinkLog(const CapturedLinkLog&) = delete;
    CapturedLinkLog& operator=(const CapturedLinkLog&) = delete;

    // The entries so far without their "hh:mm:ss " time, day headers left out.
    QStringList Entries() const {
        QFile file(folder_.filePath(QStringLiteral("LogUSB.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList entries;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"))) {
            if (line.isEmpty() || line.startsWith(QStringLiteral("==========")))
                continue;
            entries << line.mid(9);
        }
        return entries;
    }

    // Forgets the entries so far.
    void Clear() {
        QFile file(folder_.filePath(QStringLiteral("LogUSB.log")));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }

private:
    QTemporaryDir folder_;
};
