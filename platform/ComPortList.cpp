#include "platform/ComPortList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

constexpr int HighestPort = 99;
// The kernel's majors of the built-in serial ports and of pseudo-terminal
// slaves (which have no entry under /sys/dev/char).
constexpr unsigned SerialMajor = 4;
constexpr unsigned FirstSerialMinor = 64;
constexpr unsigned FirstPtySlaveMajor = 136;
constexpr unsigned LastPtySlaveMajor = 143;

QString SysfsText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

}  // namespace

QString ComPortDevice(const QString& dataFolder, int n) {
    if (n < 1 || n > HighestPort)
        return {};
    const QString link = QDir(dataFolder).filePath(QStringLiteral("ports/com%1").arg(n));
    if (QFileInfo(link).isSymLink())
        return link;
    if (n <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 33);
    if (n <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 65);
    return {};
}

QString CommDeviceFor(const QString& name, const QString& dataFolder) {
    static const QRegularExpression comName(QStringLiteral(R"(^\\\\\.\\COM(\d{1,2})$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(name);
    if (!match.hasMatch())
        return name;
    return ComPortDevice(dataFolder, match.captured(1).toInt());
}

bool IsSerialDevice(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned major = ::major(info.st_rdev);
    const unsigned minor = ::minor(info.st_rdev);
    if (major >= FirstPtySlaveMajor && major <= LastPtySlaveMajor)
        return true;
    const QString entry = QStringLiteral("/sys/dev/char/%1:%2").arg(major).arg(minor);
    if (!QFileInfo(entry + QStringLiteral("/subsystem")).canonicalFilePath().endsWith(QStringLiteral("/tty")))
        return false;
    // A built-in port without a UART reports type 0 (unknown).
    if (major == SerialMajor && minor >= FirstSerialMinor)
        return SysfsText(entry + QStringLiteral("/type")) != QStringLiteral("0");
    return true;
}

QStringList SystemComPorts::PresentPorts() {
    const QString folder = dataFolder_ ? dataFolder_() : QString();
    QStringList ports;
    for (int n = 1; n <= HighestPort; ++n)
        if (IsSerialDevice(ComPortDevice(folder, n)))
            ports << QStringLiteral("COM%1").arg(n);
    return ports;
}
