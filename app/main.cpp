// Process entry: the application with Qt's Russian texts, and the main window,
// whose creation runs the program's start-up.

#include "app/ApplicationTitle.h"
#include "app/Environment.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "platform/QtTranslations.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vel"));
    InstallQtRussianTranslations(app);

    try {
        QtMessageBoxes messageBoxes;
        QtFileDialogs fileDialogs;
        QtClipboard clipboard;
        RealProcessExit processExit;
        const Environment environment{QCoreApplication::applicationDirPath(), &messageBoxes, &fileDialogs,
                                      &clipboard, &processExit};
        TForm1 form(environment);
        return QApplication::exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, ApplicationTitle(), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
