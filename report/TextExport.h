#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

#include <QString>

// The prepared report as plain text, one line per row of texts in the
// layout, page after page: no frames, no empty lines, no empty columns.
// Texts that share a left edge form a column as wide as its longest text,
// columns two blanks apart; a text that reaches over other columns' edges
// (a title) is centred over the line. Blanks around each text are dropped.
QString ReportText(const PreparedReport& report);

// ReportText in UTF-8.
QString WriteText(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);
