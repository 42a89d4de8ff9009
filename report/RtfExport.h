#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

#include <QByteArray>
#include <QStringView>

// The prepared report as an RTF document: the report's paper size and
// margins, each page a table whose framed cells have borders, a page break
// between pages, every character beyond ASCII as a \uN escape. The file is
// pure ASCII.
QString WriteRtf(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);

// A report text as RTF text: \ { } escaped, a tab as \tab, a line break as
// \line, control characters dropped, and every UTF-16 unit beyond ASCII as
// \uN? with N its signed 16-bit value (a character beyond the BMP as its two
// surrogates; a lone surrogate as U+FFFD).
QByteArray RtfText(QStringView text);
