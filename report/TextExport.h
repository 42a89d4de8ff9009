#pragma once

#include "report/PreparedReport.h"

#include <QString>

// The prepared report as plain text, one line per row of texts in the
// layout, page after page: no frames, no empty lines, no empty columns.
// Texts that share a left edge form a column as wide as its longest text,
// columns two blanks apart; a text that reaches over other columns' edges
// (a title) is centred over the line. Blanks around each text are dropped.
QString ReportText(const PreparedReport& report);

// ReportText as a UTF-8 file; the old file stays as it was until the new one
// is complete. Returns an empty text on success, otherwise why not.
QString ExportText(const PreparedReport& report, const QString& path);
