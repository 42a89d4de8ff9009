#include "app/Settings.h"

#include "app/AppPaths.h"
#include "platform/Profile.h"

#include <limits>

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue,
                    int readLength) {
    // The read length counts characters; the profile call also counts the end
    // of the text, as the original buffer sizes did.
    return Profile::ReadString(SettingsPath, section, key, defaultValue, readLength + 1);
}

void WriteSetting(const QString& section, const QString& key, const QString& value) {
    Profile::WriteString(SettingsPath, section, key, value);
}

std::optional<int> ParseDecimal(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}
