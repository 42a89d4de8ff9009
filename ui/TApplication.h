#pragma once

#include "platform/widgets/MessageBox.h"

#include <QApplication>

// The program's application object. An exception that leaves a command (an
// event handler) is reported in a message box with the exception's text,
// captioned with the program's title, and the message loop goes on: the
// program must not end with its settings unsaved because one command failed.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    // Where the reports go: the real message box, unless boxes says otherwise;
    // nullptr goes back to the real one. Not owned.
    void SetMessageBoxes(MessageBoxes* boxes);

    // Delivers the event; an exception that comes back is reported and
    // swallowed, and the event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void ReportException(const QString& text, const QObject* receiver);

    QtMessageBoxes realBoxes_;
    MessageBoxes* boxes_ = &realBoxes_;
};
