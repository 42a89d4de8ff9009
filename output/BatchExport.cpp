#include "output/BatchExport.h"

#include "app/MessageTable.h"
#include "archive/Archive.h"
#include "archive/ArchiveFile.h"
#include "archive/StringGrid.h"
#include "archive/TableRendering.h"
#include "output/MeasurementReport.h"
#include "report/ReportExport.h"

#include <QFile>
#include <QTextStream>

#include <memory>

int RunBatchExport(const QString& out, const QString& archive, bool english, QTextStream& err) {
    const auto fail = [&](const QString& message) {
        err << message << '\n';
        err.flush();
        return 1;
    };
    const ExportFormat* format = ExportFormatFor(out);
    if (!format)
        return fail(english ? QStringLiteral("The format of %1 is unknown.").arg(out)
                            : QStringLiteral("Формат файла %1 неизвестен.").arg(out));

    // The program's own archive stays untouched; this one lives for the call.
    auto records = std::make_unique<TArchive>();
    records->Count = 0;
    QFile file(archive);
    if (!file.open(QIODevice::ReadOnly))
        return fail(english ? QStringLiteral("Cannot read the file %1.").arg(archive)
                            : QStringLiteral("Не удаётся прочитать файл %1.").arg(archive));
    ReadArchiveRecords(file, *records, [](int) {});
    if (file.error() != QFileDevice::NoError)
        return fail(english ? QStringLiteral("Cannot read the file %1.").arg(archive)
                            : QStringLiteral("Не удаётся прочитать файл %1.").arg(archive));
    if (records->Count == 0)
        return fail(english ? QStringLiteral("The file %1 holds no measurements.").arg(archive)
                            : QStringLiteral("В файле %1 нет измерений.").arg(archive));

    TStringGrid grid(5, 3);
    ShowArchive(grid, *records);
    const std::uint8_t language = LanguageIndex;
    LanguageIndex = english ? 1 : 0;
    const PreparedReport report = PrepareMeasurementReport(grid);
    LanguageIndex = language;

    const ExportResult result = ExportReport(*format, report, out);
    if (!result.Ok())
        return fail(ExportErrorText(result, out, english));
    return 0;
}
