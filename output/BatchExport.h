#pragma once

#include <QString>

class QTextStream;

// The measurement report of an archive file written without a window, for
// labs' own scripts: the archive read as Open reads it, the table rendered as
// the window renders it (newest record first), the report laid out and
// exported through the same calls as from the preview.
//
// Returns the process's exit code: 0 when OUT is written; 1 when the archive
// cannot be read or holds no measurement, or OUT cannot be written (one line
// on err says which and why, in English or Russian). No part of OUT is left
// behind a failure; an OUT that was there stays as it was.
int RunBatchExport(const QString& out, const QString& archive, bool english, QTextStream& err);
