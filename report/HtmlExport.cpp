#include "report/HtmlExport.h"

QString WriteHtml(const PreparedReport&, QIODevice&, const ExportProgress&) {
    return QStringLiteral("not written yet");
}
