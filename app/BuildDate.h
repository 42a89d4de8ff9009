#pragma once

#include <QString>

// The date the program was built, as the compiler's date macro gives it:
// "Nov  6 2013", month abbreviation, day (padded with a blank), year.
struct BuildDate {
    QString month;  // "Nov"
    QString day;    // "6"
    QString year;   // "2013"
};

// The three parts of such a text; a run of blanks is one separator, missing
// parts are empty.
BuildDate SplitBuildDate(const QString& text);

// The build date of this program, split once per run.
const BuildDate& ProgramBuildDate();

// The Russian month in the genitive with a blank on each side, by the first
// three characters of the abbreviation: "Nov" -> " ноября ". Any other gives
// " января ".
QString MonthText(const QString& abbreviation);

// The About box's version line: "Версия 2.1.4.18 от 6 ноября 2013 г.".
QString VersionLine(const QString& fileVersion, const BuildDate& date);
