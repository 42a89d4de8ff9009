#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"

#include <QString>
#include <QStringView>

// The prepared report as one HTML page in UTF-8: page after page, each of the
// paper's width with its margins, a table of fixed column widths, frames as
// CSS borders. The markup is also well-formed XML (every element closed,
// only the XML entities), so XML tools read it as well as browsers do.
QString WriteHtml(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);

// A report text as HTML character data: & < > " as entities, a line break as
// <br/>, characters HTML does not allow (controls other than tab and line
// feed, noncharacters) dropped, a lone surrogate as U+FFFD, so the page's
// UTF-8 is always valid.
QString HtmlText(QStringView text);
