#pragma once

#include <QString>

// The folder for the files the program writes (settings, link log, screen
// picture, the file dialogs' start folder): the program's own folder when it may
// be written to (portable use, a build tree), otherwise, and always for an
// installed program (one with a share/vel folder beside its bin folder), the
// user's data folder for this program, created when needed.
QString WritableDataFolder(const QString& programDir);
