#pragma once

#include <QString>

// INI settings files read and written one key at a time, with the rules of the
// Windows profile functions the settings file was designed around:
// - section and key names match without regard to letter case;
// - a value is trimmed of surrounding blanks, and one pair of matching quotes
//   (single or double) around it is dropped;
// - a read takes at most size - 1 characters of the value;
// - a write creates the file, the section and the key as needed and keeps every
//   other line of the file as it was (comments, unknown keys, their order).
// Neither call reports a failure to the user: a missing file reads as defaults,
// a file that cannot be written leaves the old one untouched.
namespace Profile {

// Returns the value of [section] key in the file at path, or defaultValue
// (trailing blanks removed) when the file, the section or the key is missing.
// At most size - 1 characters are returned; size <= 1 returns the empty text.
QString ReadString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue, int size);

// Stores value under [section] key. The file is replaced as a whole only after
// the new content was written completely. Returns false when it could not be,
// and, without touching the file, for what a read could not give back: a line
// break anywhere, ']' in the section name, '=' in the key or '[' at its start,
// an empty key, blanks around either name.
bool WriteString(const QString& path, const QString& section, const QString& key,
                 const QString& value);

}  // namespace Profile
