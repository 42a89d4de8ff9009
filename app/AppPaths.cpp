#include "app/AppPaths.h"

#include "platform/DataFolder.h"

QString ProgramDir;
QString DataDir;
QString SettingsPath;
QString HelpFilePath;
QString LinkLogPath;

void SetProgramPaths(const QString& programDir) {
    ProgramDir = programDir;
    if (ProgramDir.size() > 1 && ProgramDir.endsWith(QLatin1Char('/')))
        ProgramDir.chop(1);
    DataDir = WritableDataFolder(ProgramDir);
    SettingsPath = DataDir + QStringLiteral("/Vel.ini");
    HelpFilePath = ProgramDir + QStringLiteral("/Help/Vel1help.hlp");
    LinkLogPath = DataDir + QStringLiteral("/LogUSB.log");
}
