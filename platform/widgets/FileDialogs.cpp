#include "FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

QStringList QtNameFilters(const QString& barSeparatedFilter) {
    const QStringList parts = barSeparatedFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

void SetUpQtFileDialog(QFileDialog& qtDialog, const TFileDialog& d, bool save) {
    qtDialog.setWindowTitle(d.Title);
    qtDialog.setOption(QFileDialog::HideNameFilterDetails);
    qtDialog.setNameFilters(QtNameFilters(d.Filter));
    qtDialog.setDirectory(d.InitialDir);
    qtDialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    qtDialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    qtDialog.setOption(QFileDialog::DontConfirmOverwrite, !d.OverwritePrompt);
    if (!d.FileName.isEmpty())
        qtDialog.selectFile(d.FileName);
}

namespace {

bool Run(TFileDialog& d, bool save) {
    QFileDialog dialog;
    SetUpQtFileDialog(dialog, d, save);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    d.FileName = dialog.selectedFiles().constFirst();
    return true;
}

}  // namespace

bool QtFileDialogs::ExecuteOpen(TFileDialog& dialog) {
    return Run(dialog, false);
}

bool QtFileDialogs::ExecuteSave(TFileDialog& dialog) {
    return Run(dialog, true);
}
