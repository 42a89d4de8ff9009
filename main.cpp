// Process entry: the application with Qt's Russian texts, and the main window,
// whose creation runs the program's start-up.

#include "app/AppPaths.h"
#include "platform/CommApi.h"
#include "platform/ComPortList.h"
#include "platform/ProcessExit.h"
#include "platform/widgets/Clipboard.h"
#include "platform/widgets/ColorDialogs.h"
#include "platform/widgets/FileDialogs.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/QtTranslations.h"
#include "ui/Environment.h"
#include "ui/TApplication.h"
#include "ui/TForm1.h"

#include <memory>

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vel"));
    InstallQtRussianTranslations(app);

    QtMessageBoxes messageBoxes;
    QtFileDialogs fileDialogs;
    QtClipboard clipboard;
    QtColorDialogs colorDialogs;
    RealProcessExit processExit;
    // COM ports live beside the other files the program writes (ports/comN),
    // in the folder start-up settles on.
    const std::unique_ptr<CommApi> commApi =
        MakeTermiosCommApi([](const QString& name) { return CommDeviceFor(name, DataDir); });
    SystemComPorts comPorts([] { return DataDir; });
    const Environment environment{QCoreApplication::applicationDirPath(), &messageBoxes, &fileDialogs, &clipboard,
                                  &processExit, commApi.get(), &comPorts, &colorDialogs};
    std::unique_ptr<TForm1> form;
    // A failed start-up is reported like a failed command, but there is no
    // window to go back to.
    if (!TApplication::RunGuarded([&] { form = std::make_unique<TForm1>(environment); }))
        return 1;
    return QApplication::exec();
}
