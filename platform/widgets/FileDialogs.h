#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;

// An open or save dialog's settings, as the commands set them before each run.
struct TFileDialog {
    QString Title;
    // "description|pattern|description|pattern...", the first entry preselected.
    QString Filter;
    QString InitialDir;
    // In: the name shown when the dialog opens. Out: the full path chosen.
    QString FileName;
    // Save dialogs: the dialog itself asks before an existing file is chosen.
    bool OverwritePrompt = false;
};

// Shows the system's file dialogs without an owner window. Each returns false
// when the user cancels; otherwise the chosen path is in dialog.FileName.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual bool ExecuteOpen(TFileDialog& dialog) = 0;
    virtual bool ExecuteSave(TFileDialog& dialog) = 0;
};

class QtFileDialogs final : public FileDialogs {
public:
    bool ExecuteOpen(TFileDialog& dialog) override;
    bool ExecuteSave(TFileDialog& dialog) override;
};

// "Text (*.vel)|*.vel|All (*.*)|*" as Qt's name filters: each description
// followed by its patterns in parentheses, "Text (*.vel) (*.vel)" and
// "All (*.*) (*)". A dialog
// set up by SetUpQtFileDialog hides that last part, so it shows each
// description as given while the patterns choose the files.
QStringList QtNameFilters(const QString& barSeparatedFilter);

// Gives a Qt file dialog the settings: title, filters (the first selected),
// start folder, file name, open or save, and the overwrite question.
void SetUpQtFileDialog(QFileDialog& qtDialog, const TFileDialog& dialog, bool save);
