#include "DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString WritableDataFolder(const QString& programDir) {
    const QFileInfo info(programDir);
    // An installed program (its files in the prefix's share/vel) never writes
    // into the system's folders, even when run by an administrator.
    const bool installed = QFileInfo(programDir + QStringLiteral("/../share/vel")).isDir();
    if (!installed && info.isDir() && info.isWritable())
        return programDir;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return userFolder;
}
