// Process entry: the application with Qt's Russian texts, and the main window,
// whose creation runs the program's start-up.

#include "app/ApplicationTitle.h"
#include "platform/ProcessExit.h"
#include "platform/widgets/Clipboard.h"
#include "platform/widgets/FileDialogs.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/QtTranslations.h"
#include "ui/Environment.h"
#include "ui/TApplication.h"
#include "ui/TForm1.h"

#include <exception>

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vel"));
    InstallQtRussianTranslations(app);

    QtMessageBoxes messageBoxes;
    try {
        QtFileDialogs fileDialogs;
        QtClipboard clipboard;
        RealProcessExit processExit;
        const Environment environment{QCoreApplication::applicationDirPath(), &messageBoxes, &fileDialogs,
                                      &clipboard, &processExit};
        TForm1 form(environment);
        return QApplication::exec();
    } catch (const std::exception& e) {
        // Start-up itself failed: there is no window to go back to.
        messageBoxes.Show(QString::fromUtf8(e.what()), ApplicationTitle(),
                          MessageBox::MB_OK | MessageBox::MB_ICONERROR);
        return 1;
    }
}
