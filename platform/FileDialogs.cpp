#include "FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

QString QtNameFilters(const QString& barSeparatedFilter) {
    const QStringList parts = barSeparatedFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString inParentheses = QLatin1Char('(') + patterns + QLatin1Char(')');
        filters << (description.endsWith(inParentheses) ? description : description + QLatin1Char(' ') + inParentheses);
    }
    return filters.join(QLatin1String(";;"));
}

namespace {

bool Run(TFileDialog& d, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(nullptr, d.Title, d.InitialDir, QtNameFilters(d.Filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !d.OverwritePrompt);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (!d.FileName.isEmpty())
        dialog.selectFile(d.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    d.FileName = dialog.selectedFiles().constFirst();
    return true;
}

}  // namespace

bool QtFileDialogs::ExecuteOpen(TFileDialog& dialog) {
    return Run(dialog, QFileDialog::AcceptOpen);
}

bool QtFileDialogs::ExecuteSave(TFileDialog& dialog) {
    return Run(dialog, QFileDialog::AcceptSave);
}
