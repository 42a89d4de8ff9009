#pragma once

#include "platform/widgets/FileDialogs.h"

#include <QString>

class MainView;
class MessageBoxes;
struct TArchive;

// The Open and Save commands: archive files chosen in the file dialogs, the
// questions and error messages the user answers, and what the window shows.
class ArchiveCommands {
public:
    // What one attempt with a chosen file came to.
    enum class Outcome {
        Done,      // opened, or saved: the command is over
        AskAgain,  // the user wants the dialog again (Retry, or No to overwriting)
        Stop,      // the user gave up (Cancel, Abort, Ignore after a failed write)
    };

    // startFolder: where both dialogs open, every time.
    ArchiveCommands(MainView& view, MessageBoxes& boxes, FileDialogs& dialogs, TArchive& archive,
                    const QString& startFolder);

    // Shows the open dialog, then reads the chosen file into the archive and
    // the table; asks again while the user retries a file that cannot be
    // opened. Until a file is open, archive and table stay as they are.
    void Open();
    // With at least one record: shows the save dialog (file name Default.Vel),
    // then writes the archive to the chosen file, ".Vel" appended where its
    // extension is not ".vel" in any case; asks again while the user wants.
    void Save();

    // One attempt each, with a file already chosen.
    Outcome OpenFrom(const QString& fileName);
    Outcome SaveTo(const QString& fileName);

    // The dialogs' settings as the commands use them; the open dialog keeps
    // the name last chosen.
    TFileDialog OpenDialog1;
    TFileDialog SaveDialog1;

private:
    MainView& view_;
    MessageBoxes& boxes_;
    FileDialogs& dialogs_;
    TArchive& archive_;
    QString startFolder_;
};
