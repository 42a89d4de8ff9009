#pragma once

#include "report/PreparedReport.h"

#include <QString>

// Writes the prepared report as a PDF file: one page per prepared page, of
// the report's paper size, the fonts embedded and the text selectable. The
// file appears only once it is complete; an old file of that name stays as
// it was until then. Returns an empty text on success, otherwise why not.
QString ExportPdf(const PreparedReport& report, const QString& path);
