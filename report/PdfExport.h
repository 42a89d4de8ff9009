#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

#include <QString>

// The prepared report as a PDF document: one page per prepared page, of the
// report's paper size, the fonts embedded and the text selectable.
QString WritePdf(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);
