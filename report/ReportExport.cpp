#include "report/ReportExport.h"

#include "report/HtmlExport.h"
#include "report/OpenDocumentExport.h"
#include "report/PdfExport.h"
#include "report/RtfExport.h"
#include "report/TextExport.h"
#include "report/XlsxExport.h"

#include <QFileInfo>
#include <QSaveFile>

const std::vector<ExportFormat>& ExportFormats() {
    static const std::vector<ExportFormat> formats{
        {QStringLiteral("txt"), QStringLiteral("ExportText"), QStringLiteral("Экспорт в текст"),
         QStringLiteral("Текст в UTF-8 (*.txt)|*.txt"), WriteText},
        {QStringLiteral("xlsx"), QStringLiteral("ExportXlsx"), QStringLiteral("Экспорт в таблицу Excel"),
         QStringLiteral("Таблица Excel (*.xlsx)|*.xlsx"), WriteXlsx},
        {QStringLiteral("pdf"), QStringLiteral("ExportPdf"), QStringLiteral("Экспорт в PDF"),
         QStringLiteral("Документ PDF (*.pdf)|*.pdf"), WritePdf},
        {QStringLiteral("html"), QStringLiteral("ExportHtml"), QStringLiteral("Экспорт в HTML"),
         QStringLiteral("Страница HTML (*.html)|*.html"), WriteHtml},
        {QStringLiteral("rtf"), QStringLiteral("ExportRtf"), QStringLiteral("Экспорт в RTF"),
         QStringLiteral("Документ RTF (*.rtf)|*.rtf"), WriteRtf},
        {QStringLiteral("ods"), QStringLiteral("ExportOds"), QStringLiteral("Экспорт в таблицу OpenDocument"),
         QStringLiteral("Таблица OpenDocument (*.ods)|*.ods"), WriteOds},
        {QStringLiteral("odt"), QStringLiteral("ExportOdt"), QStringLiteral("Экспорт в текст OpenDocument"),
         QStringLiteral("Текст OpenDocument (*.odt)|*.odt"), WriteOdt},
    };
    return formats;
}

const ExportFormat* ExportFormatFor(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    for (const ExportFormat& format : ExportFormats())
        if (format.extension == extension)
            return &format;
    return nullptr;
}

QString ExportReport(const ExportFormat& format, const PreparedReport& report, const QString& path,
                     const ExportProgress& progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QString failure = format.write(report, file, progress ? progress : [](int, int) {});
    if (!failure.isEmpty()) {
        file.cancelWriting();
        return failure;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}
