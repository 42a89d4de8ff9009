#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

// The prepared report as an Excel workbook (XLSX): one worksheet, one row per
// row of the report's table, page after page with a page break before each
// page, column widths and row heights from the layout, framed texts with
// borders, bold texts bold, and texts that are numbers in the "," notation
// ("2345,68", "120") as numbers shown with their decimals.
QString WriteXlsx(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);
