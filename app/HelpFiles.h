#pragma once

#include <QString>
#include <QStringList>

// Where the program's help is. The manual is Russian HTML, Help/index.html,
// beside the executable in a build tree or a portable copy, or in the
// installed share/vel/Help folder of its prefix.

// The manual's file, or empty when neither place has it.
QString ManualFile(const QString& programDir);

// The compiled help file, "Help/VEL1Help.chm" resolved against the current
// folder.
QString CompiledHelpFile();

// Programs that show compiled help files, the first installed one is used.
const QStringList& CompiledHelpViewers();
