#include "report/OpenDocumentExport.h"

QString WriteOds(const PreparedReport&, QIODevice&, const ExportProgress&) {
    return QStringLiteral("not written yet");
}

QString WriteOdt(const PreparedReport&, QIODevice&, const ExportProgress&) {
    return QStringLiteral("not written yet");
}
