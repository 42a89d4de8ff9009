#include "platform/widgets/Desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

bool QtDesktop::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QString QtDesktop::FindProgram(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

bool QtDesktop::StartProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}
