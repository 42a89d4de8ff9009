#include "app/HelpFiles.h"

#include <QDir>
#include <QFileInfo>

QString ManualFile(const QString& programDir) {
    for (const QString& folder : {programDir + QStringLiteral("/Help"), programDir + QStringLiteral("/../share/vel/Help")}) {
        const QFileInfo manual(folder + QStringLiteral("/index.html"));
        if (manual.isFile())
            return QDir::cleanPath(manual.absoluteFilePath());
    }
    return {};
}

QString CompiledHelpFile() {
    return QDir::current().absoluteFilePath(QStringLiteral("Help/VEL1Help.chm"));
}

const QStringList& CompiledHelpViewers() {
    static const QStringList viewers{QStringLiteral("xchm"), QStringLiteral("kchmviewer"), QStringLiteral("chmsee")};
    return viewers;
}
