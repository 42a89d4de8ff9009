#pragma once

#include "report/PreparedReport.h"

#include <QString>

#include <functional>
#include <vector>

class QIODevice;

// The exports of a prepared report, every format behind one call, for the
// preview's export menu and for exports without a window.

// Told after each page an export has written: pages done, pages in all.
// May be empty: nobody is told.
using ExportProgress = std::function<void(int done, int pages)>;

// Writes the whole report into out. Returns an empty text on success,
// otherwise why not.
using ReportWriter = QString (*)(const PreparedReport& report, QIODevice& out, const ExportProgress& progress);

struct ExportFormat {
    QString extension;  // of its files, lower case, without the dot: "pdf"
    QString action;     // the object name of the preview's command: "ExportPdf"
    QString title;      // of the command and of its file dialog: "Экспорт в PDF"
    QString filter;     // for the file dialog: "Документ PDF (*.pdf)|*.pdf"
    ReportWriter write = nullptr;
};

// Every format, in the order the preview's menu offers them.
const std::vector<ExportFormat>& ExportFormats();

// The format the extension of a file name names, in any case, or nullptr.
const ExportFormat* ExportFormatFor(const QString& fileName);

// Why an export did not reach its file.
enum class ExportError {
    None,
    NoFolder,      // the folder named does not exist
    IsFolder,      // the name is a folder's
    FolderDenied,  // no file may be made in the folder
    FileDenied,    // the file is there and may not be replaced
    WriteFailed,   // the bytes were refused on the way: a full disk, a medium gone
    NotMade,       // the format could not be made; the detail says why
};

struct ExportResult {
    ExportError error = ExportError::None;
    QString detail;  // the system's or the format's own words, if any

    bool Ok() const { return error == ExportError::None; }
};

// The report in a format into the file at path. The document is made in
// memory, then written to a temporary file beside the target, which replaces
// it only once every byte is written: a failed export leaves no file, or the
// old one as it was.
ExportResult ExportReport(const ExportFormat& format, const PreparedReport& report, const QString& path,
                          const ExportProgress& progress = {});

// A failed export in one sentence for the user, Russian or English:
// "Не удаётся записать файл /x/a.pdf: папка /x не существует."
QString ExportErrorText(const ExportResult& result, const QString& path, bool english = false);
