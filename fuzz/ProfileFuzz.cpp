// The INI profile on any settings file: read every key the input names,
// change one, read them all again. The changed key reads as written (blanks
// and one pair of quotes around it dropped), every other one as before, and
// writing the same value once more leaves the file as it is. What the file
// cannot hold is refused without a change.
//
// Input: the file, then section, key, section, key, ... and last the new
// value, separated by 0x01; the first pair is the one changed.

#include "fuzz/FuzzInput.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace {

QTemporaryDir* folder = nullptr;

QByteArray Content(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A read as the program makes one: a value no longer than it may be.
QString Read(const QString& path, const QString& section, const QString& key) {
    return Profile::ReadString(path, section, key, QStringLiteral("<none>"), 1 << 20);
}

QString Unquoted(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool Storable(const QString& section, const QString& key, const QString& value) {
    for (const QString& s : {section, key, value})
        if (s.contains(u'\n') || s.contains(u'\r'))
            return false;
    return !section.contains(u']') && section == section.trimmed() && !key.isEmpty() && key == key.trimmed() &&
           !key.contains(u'=') && !key.startsWith(u'[');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir;
    folder = &dir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const QString path = folder->filePath(QStringLiteral("Vel.ini"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(input.Until(1));
    }
    std::vector<QString> parts;
    while (!input.Empty() && parts.size() < 9)
        parts.push_back(QString::fromUtf8(input.Until(1)));
    if (parts.size() < 3)
        return 0;
    const QString value = parts.back();
    parts.pop_back();
    if (parts.size() % 2 != 0)
        parts.pop_back();

    std::vector<QString> before;
    for (std::size_t i = 0; i < parts.size(); i += 2)
        before.push_back(Read(path, parts[i], parts[i + 1]));

    const QString& section = parts[0];
    const QString& key = parts[1];
    const QByteArray old = Content(path);
    const bool written = Profile::WriteString(path, section, key, value);
    if (!Storable(section, key, value)) {
        FUZZ_CHECK(!written);
        FUZZ_CHECK(Content(path) == old);
        return 0;
    }
    FUZZ_CHECK(written);

    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const bool changed = parts[i].compare(section, Qt::CaseInsensitive) == 0 &&
                             parts[i + 1].compare(key, Qt::CaseInsensitive) == 0;
        FUZZ_CHECK(Read(path, parts[i], parts[i + 1]) == (changed ? Unquoted(value) : before[i / 2]));
    }

    const QByteArray once = Content(path);
    FUZZ_CHECK(Profile::WriteString(path, section, key, value));
    FUZZ_CHECK(Content(path) == once);
    return 0;
}
