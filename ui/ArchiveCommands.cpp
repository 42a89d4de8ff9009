#include "ui/ArchiveCommands.h"

#include "app/ApplicationTitle.h"
#include "app/MainView.h"
#include "archive/Archive.h"
#include "archive/ArchiveFile.h"
#include "platform/WholeFileWrite.h"
#include "platform/widgets/MessageBox.h"

#include <QFile>
#include <QFileInfo>

using namespace MessageBox;

namespace {

// "Все файлы" lists every file: on Linux "*.*" would leave out names without a dot.
const QString ArchiveFilter = QStringLiteral("Файлы \"ВЕЛ-1\" (*.vel)|*.vel|Все файлы (*.*)|*");

const QString DiskErrorCaption = QStringLiteral("Ошибка записи на диск");
constexpr unsigned DiskErrorType = MB_DEFBUTTON2 | MB_ICONWARNING | MB_ABORTRETRYIGNORE;

}  // namespace

ArchiveCommands::ArchiveCommands(MainView& view, MessageBoxes& boxes, FileDialogs& dialogs, TArchive& archive,
                                 const QString& startFolder)
    : view_(view), boxes_(boxes), dialogs_(dialogs), archive_(archive), startFolder_(startFolder) {
    OpenDialog1.Title = QStringLiteral("Открыть файл...");
    OpenDialog1.Filter = ArchiveFilter;
    SaveDialog1.Title = QStringLiteral("Сохранить как...");
    SaveDialog1.Filter = ArchiveFilter;
    SaveDialog1.OverwritePrompt = true;
}

void ArchiveCommands::Open() {
    Outcome outcome = Outcome::AskAgain;
    while (outcome == Outcome::AskAgain) {
        OpenDialog1.InitialDir = startFolder_;
        if (!dialogs_.ExecuteOpen(OpenDialog1))
            return;
        outcome = OpenFrom(OpenDialog1.FileName);
    }
}

ArchiveCommands::Outcome ArchiveCommands::OpenFrom(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        view_.SetStatusText(QStringLiteral("Ошибка открытия файла ") + fileName);
        const int answer = boxes_.Show(QStringLiteral("Не могу открыть файл ") + fileName,
                                       QStringLiteral("Ошибка чтения файла"), MB_ICONWARNING | MB_RETRYCANCEL);
        return answer == IDRETRY ? Outcome::AskAgain : Outcome::Stop;
    }

    // From here the previous archive is gone, even if the file holds no record.
    view_.ClearTable();
    archive_.Count = 0;
    ReadArchiveRecords(file, archive_, [this](int count) {
        view_.SetStatusText(QStringLiteral("Считано с диска записей: ") + QString::number(count));
    });
    file.close();
    view_.ShowArchive();
    return Outcome::Done;
}

void ArchiveCommands::Save() {
    if (archive_.Count == 0)
        return;
    SaveDialog1.InitialDir = startFolder_;
    SaveDialog1.FileName = QStringLiteral("Default.Vel");
    Outcome outcome = Outcome::AskAgain;
    while (outcome == Outcome::AskAgain) {
        if (!dialogs_.ExecuteSave(SaveDialog1))
            return;
        // The appended name is the one the dialog shows when asked again.
        SaveDialog1.FileName = WithVelExtension(SaveDialog1.FileName);
        outcome = SaveTo(SaveDialog1.FileName);
    }
}

ArchiveCommands::Outcome ArchiveCommands::SaveTo(const QString& fileName) {
    // The dialog asked about the name chosen there, not about the one with
    // ".Vel" appended: the program asks about the name it will write.
    if (QFileInfo::exists(fileName)) {
        const int answer = boxes_.Show(QStringLiteral("Файл существует. Перезаписать?"), ApplicationTitle(),
                                       MB_TASKMODAL | MB_ICONQUESTION | MB_YESNOCANCEL);
        if (answer == IDNO)
            return Outcome::AskAgain;
        if (answer != IDYES)
            return Outcome::Stop;
    }

    switch (WriteWholeFile(fileName, ArchiveFileImage(archive_))) {
    case FileWriteResult::Written:
        view_.SetStatusText(QStringLiteral("Сохранено на диск записей: ") + QString::number(ValidCount(archive_)));
        return Outcome::Done;
    case FileWriteResult::NotCreated: {
        const int answer = boxes_.Show(QStringLiteral("Не удается создать файл. Возможно, нет места на диске."),
                                       DiskErrorCaption, DiskErrorType);
        if (answer == IDABORT)
            return Outcome::Stop;
        if (answer == IDRETRY)
            return Outcome::AskAgain;
        break;  // Ignore: the write counts as failed
    }
    case FileWriteResult::NotWritten:
        break;
    }
    const int answer = boxes_.Show(QStringLiteral("Не удается записать файл. Возможно, нет места на диске."),
                                   DiskErrorCaption, DiskErrorType);
    return answer == IDRETRY ? Outcome::AskAgain : Outcome::Stop;
}
