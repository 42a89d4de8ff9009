#pragma once

#include <QString>

// The folder for the files the program writes (settings, link log, screen
// picture, the file dialogs' start folder): the program's own folder when it may
// be written to (portable use, a build tree), otherwise the user's data folder
// for this program, created when needed.
QString WritableDataFolder(const QString& programDir);
