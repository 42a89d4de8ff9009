#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

// The prepared report as OpenDocument packages.

// A spreadsheet (ODS): one sheet laid out as the XLSX export lays out its
// worksheet, numbers in the "," notation as numbers.
QString WriteOds(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);

// A text document (ODT): one bordered table per page on pages of the report's
// size and margins.
QString WriteOdt(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);
