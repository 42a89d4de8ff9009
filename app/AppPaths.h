#pragma once

#include <QString>

// Process-wide paths, set once while the main window is created.
extern QString ProgramDir;    // the executable's folder (help files)
extern QString DataDir;       // where the program writes its files (see WritableDataFolder)
extern QString SettingsPath;  // DataDir + "/Vel.ini"
extern QString HelpFilePath;  // ProgramDir + "/Help/Vel1help.hlp"
extern QString LinkLogPath;   // DataDir + "/LogUSB.log"

// Sets all five from the executable's folder; a trailing separator is dropped.
void SetProgramPaths(const QString& programDir);
