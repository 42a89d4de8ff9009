// Process entry: the application with Qt's Russian texts, and the main window,
// whose creation runs the program's start-up; or, asked on the command line,
// an export without a window, or the usage.

#include "app/AppPaths.h"
#include "output/BatchExport.h"
#include "output/CommandLine.h"
#include "platform/CommApi.h"
#include "platform/ComPortList.h"
#include "platform/ProcessExit.h"
#include "platform/widgets/Clipboard.h"
#include "platform/VersionRecord.h"
#include "platform/widgets/ColorDialogs.h"
#include "platform/widgets/Desktop.h"
#include "platform/widgets/FileDialogs.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/QtTranslations.h"
#include "ui/Environment.h"
#include "ui/TApplication.h"
#include "ui/TForm1.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

// The commands without a window; nothing of the window's start-up runs for
// them, so no settings file is read or written and no port is opened.
int RunCommand(const CommandLine& line, int argc, char* argv[]) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (line.mode) {
    case CommandLine::Mode::Help:
        out << HelpText(line.english);
        return 0;
    case CommandLine::Mode::Wrong:
        err << line.problem << '\n';
        return 2;
    case CommandLine::Mode::Export: {
        // Fonts and PDF pages need a GUI application, but no display: labs run
        // this on servers and from scheduled jobs.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Scripts read stderr for the one line that says what failed; Qt's
        // notes about the environment (no runtime folder, no fonts cache)
        // are not theirs.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", qPrintable(message));
        });
        QGuiApplication app(argc, argv);
        return RunBatchExport(line.out, line.archive, line.english, err);
    }
    case CommandLine::Mode::Window:
        break;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const CommandLine line = ParseCommandLine(arguments); line.mode != CommandLine::Mode::Window)
        return RunCommand(line, argc, argv);

    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vel"));
    InstallQtRussianTranslations(app);

    QtMessageBoxes messageBoxes;
    QtFileDialogs fileDialogs;
    QtClipboard clipboard;
    QtColorDialogs colorDialogs;
    QtDesktop desktop;
    CompiledVersionRecord versionRecord;
    RealProcessExit processExit;
    // COM ports live beside the other files the program writes (ports/comN),
    // in the folder start-up settles on.
    const std::unique_ptr<CommApi> commApi =
        MakeTermiosCommApi([](const QString& name) { return CommDeviceFor(name, DataDir); });
    SystemComPorts comPorts([] { return DataDir; });
    const Environment environment{QCoreApplication::applicationDirPath(), &messageBoxes, &fileDialogs, &clipboard,
                                  &processExit, commApi.get(), &comPorts, &colorDialogs, &desktop, &versionRecord};
    std::unique_ptr<TForm1> form;
    // A failed start-up is reported like a failed command, but there is no
    // window to go back to.
    if (!TApplication::RunGuarded([&] { form = std::make_unique<TForm1>(environment); }))
        return 1;
    return QApplication::exec();
}
