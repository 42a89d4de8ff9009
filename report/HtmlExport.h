#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

// The prepared report as one HTML page in UTF-8: page after page, each of the
// paper's width with its margins, a table of fixed column widths, frames as
// CSS borders.
QString WriteHtml(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);
