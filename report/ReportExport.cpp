#include "report/ReportExport.h"

#include "report/HtmlExport.h"
#include "report/OpenDocumentExport.h"
#include "report/PdfExport.h"
#include "report/RtfExport.h"
#include "report/TextExport.h"
#include "report/XlsxExport.h"

#include <QBuffer>
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

namespace {

// Why a file could not be made at path, told from what is there.
ExportError WhyNotOpened(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir())
        return ExportError::IsFolder;
    if (!folder.isDir())
        return ExportError::NoFolder;
    if (file.exists() && !file.isWritable())
        return ExportError::FileDenied;
    if (!folder.isWritable())
        return ExportError::FolderDenied;
    return ExportError::WriteFailed;
}

}  // namespace

ExportResult ExportReport(const ExportFormat& format, const PreparedReport& report, const QString& path,
                          const ExportProgress& progress) {
    // The document is made whole in memory first: a format's failure is then
    // its own, and the file gets every byte in one write whose count is
    // checked. A full disk takes a write short without an error, and the
    // file would otherwise be renamed into place cut off.
    QBuffer document;
    document.open(QIODevice::WriteOnly);
    if (const QString failure = format.write(report, document, progress);
        !failure.isEmpty())
        return {ExportError::NotMade, failure};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {WhyNotOpened(path), file.errorString()};
    const QByteArray& bytes = document.data();
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return {ExportError::WriteFailed, why};
    }
    if (!file.commit())
        return {ExportError::WriteFailed, file.errorString()};
    return {};
}

QString ExportErrorText(const ExportResult& result, const QString& path, bool english) {
    const QString folder = QFileInfo(path).absolutePath();
    QString why;
    switch (result.error) {
    case ExportError::None:
        return {};
    case ExportError::NoFolder:
        why = english ? QStringLiteral("the folder %1 does not exist").arg(folder)
                      : QStringLiteral("папка %1 не существует").arg(folder);
        break;
    case ExportError::IsFolder:
        why = english ? QStringLiteral("it is a folder") : QStringLiteral("это папка");
        break;
    case ExportError::FolderDenied:
        why = english ? QStringLiteral("no file may be created in the folder %1").arg(folder)
                      : QStringLiteral("в папке %1 нельзя создавать файлы").arg(folder);
        break;
    case ExportError::FileDenied:
        why = english ? QStringLiteral("the file is write-protected") : QStringLiteral("файл защищён от записи");
        break;
    case ExportError::WriteFailed:
        why = english ? QStringLiteral("the data could not be written (is the disk full?)")
                      : QStringLiteral("данные не записаны (возможно, диск заполнен)");
        break;
    case ExportError::NotMade:
        why = (english ? QStringLiteral("the document could not be made") : QStringLiteral("документ не создан"));
        break;
    }
    // The system's own words are not the user's language; the format's are.
    if (result.error == ExportError::NotMade && !result.detail.isEmpty())
        why += QStringLiteral(": ") + result.detail;
    return (english ? QStringLiteral("Cannot write the file %1: %2.") : QStringLiteral("Не удаётся записать файл %1: %2."))
        .arg(path, why);
}
