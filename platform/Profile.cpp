#include "Profile.h"

#include "WholeFileWrite.h"

#include <QFile>
#include <QStringList>

namespace {

struct IniText {
    QStringList lines;  // without their line ends
    QString newline = QStringLiteral("\n");
};

IniText Load(const QString& path) {
    IniText ini;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ini;
    const QString text = QString::fromUtf8(file.readAll());
    if (text.contains(QLatin1String("\r\n")))
        ini.newline = QStringLiteral("\r\n");
    ini.lines = text.split(QLatin1Char('\n'));
    if (!ini.lines.isEmpty() && ini.lines.last().isEmpty())
        ini.lines.removeLast();  // the end of the last line, not an empty line
    // Every carriage return at a line's end goes: a stray one kept there
    // would meet the line feed the file is written with and make a CR LF,
    // turning the whole file over to CR LF at the next write.
    for (QString& line : ini.lines)
        while (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return ini;
}

// The section name of a "[name]" line, or a null string for any other line.
QString SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return close < 0 ? t.mid(1).trimmed() : t.mid(1, close - 1).trimmed();
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [first, end) of the lines inside the first section called name;
// first is the index of the header line, -1 when there is no such section.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange FindSection(const QStringList& lines, const QString& name) {
    SectionRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString s = SectionName(lines[i]);
        if (s.isNull())
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (SameName(s, name))
            range.header = i;
    }
    if (range.header >= 0)
        range.end = lines.size();
    return range;
}

// Index of the line holding key inside the range, or -1.
qsizetype FindKey(const QStringList& lines, SectionRange range, const QString& key) {
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const qsizetype eq = lines[i].indexOf(QLatin1Char('='));
        if (eq > 0 && SameName(lines[i].left(eq).trimmed(), key))
            return i;
    }
    return -1;
}

QString Unquote(QString value) {
    value = value.trimmed();
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

QString CutToSize(const QString& value, int size) {
    return size <= 1 ? QString() : value.left(size - 1);
}

// Whether the file can hold [section] key=value so that a read gives the
// value back: one line each, a section name without ']' and a key without '='
// that does not open a section, neither with blanks around it (a read would
// not match them again).
bool Storable(const QString& section, const QString& key, const QString& value) {
    const auto oneLine = [](const QString& s) {
        return !s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r'));
    };
    return oneLine(section) && oneLine(key) && oneLine(value) && !section.contains(QLatin1Char(']')) &&
           section == section.trimmed() && !key.isEmpty() && key == key.trimmed() &&
           !key.contains(QLatin1Char('=')) && !key.startsWith(QLatin1Char('['));
}

}  // namespace

namespace Profile {

QString ReadString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue, int size) {
    const IniText ini = Load(path);
    const SectionRange range = FindSection(ini.lines, section);
    if (range.header >= 0) {
        const qsizetype line = FindKey(ini.lines, range, key);
        if (line >= 0) {
            const QString& text = ini.lines[line];
            return CutToSize(Unquote(text.mid(text.indexOf(QLatin1Char('=')) + 1)), size);
        }
    }
    QString fallback = defaultValue;
    while (fallback.endsWith(QLatin1Char(' ')))
        fallback.chop(1);
    return CutToSize(fallback, size);
}

bool WriteString(const QString& path, const QString& section, const QString& key,
                 const QString& value) {
    if (!Storable(section, key, value))
        return false;
    IniText ini = Load(path);
    const QString entry = key + QLatin1Char('=') + value;
    const SectionRange range = FindSection(ini.lines, section);
    if (range.header < 0) {
        if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
            ini.lines.append(QString());
        ini.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        ini.lines.append(entry);
    } else if (const qsizetype line = FindKey(ini.lines, range, key); line >= 0) {
        ini.lines[line] = entry;
    } else {
        // New keys go after the section's last non-blank line, so a blank line
        // that separates it from the next section stays where it is.
        qsizetype at = range.end;
        while (at > range.header + 1 && ini.lines[at - 1].trimmed().isEmpty())
            --at;
        ini.lines.insert(at, entry);
    }

    QByteArray bytes = ini.lines.join(ini.newline).toUtf8();
    bytes += ini.newline.toUtf8();
    return WriteWholeFile(path, bytes) == FileWriteResult::Written;
}

}  // namespace Profile
