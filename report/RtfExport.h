#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

// The prepared report as an RTF document: the report's paper size and
// margins, each page a table whose framed cells have borders, a page break
// between pages, every character beyond ASCII as a \uN escape.
QString WriteRtf(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);
