#include "DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString WritableDataFolder(const QString& programDir) {
    const QFileInfo info(programDir);
    if (info.isDir() && info.isWritable())
        return programDir;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return userFolder;
}
