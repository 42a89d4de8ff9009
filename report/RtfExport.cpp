#include "report/RtfExport.h"

QString WriteRtf(const PreparedReport&, QIODevice&, const ExportProgress&) {
    return QStringLiteral("not written yet");
}
