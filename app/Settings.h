#pragma once

#include <QString>

#include <optional>

// One key of the settings file at SettingsPath, read or written at a time.
// A failed write is not reported: the program goes on with what it read.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue,
                    int readLength);
void WriteSetting(const QString& section, const QString& key, const QString& value);

// A settings value as a decimal integer ("+5", "-10", "42"); nothing for text
// that is not one, or that does not fit 32 bits.
std::optional<int> ParseDecimal(const QString& text);
