#include "app/BuildDate.h"

#include <QStringList>

#include <array>
#include <utility>

BuildDate SplitBuildDate(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto part = [&](qsizetype i) { return i < parts.size() ? parts[i] : QString(); };
    return {part(0), part(1), part(2)};
}

const BuildDate& ProgramBuildDate() {
    static const BuildDate date = SplitBuildDate(QStringLiteral(__DATE__));
    return date;
}

QString MonthText(const QString& abbreviation) {
    static const std::array<std::pair<const char*, const char*>, 12> months{{
        {"Jan", " января "}, {"Feb", " февраля "}, {"Mar", " марта "},     {"Apr", " апреля "},
        {"May", " мая "},    {"Jun", " июня "},    {"Jul", " июля "},      {"Aug", " августа "},
        {"Sep", " сентября "}, {"Oct", " октября "}, {"Nov", " ноября "}, {"Dec", " декабря "},
    }};
    const QString first = abbreviation.left(3);
    for (const auto& [name, text] : months)
        if (first == QLatin1String(name))
            return QString::fromUtf8(text);
    return QStringLiteral(" января ");
}

QString VersionLine(const QString& fileVersion, const BuildDate& date) {
    return QStringLiteral("Версия ") + fileVersion + QStringLiteral(" от ") + date.day + MonthText(date.month) +
           date.year + QStringLiteral(" г.");
}
