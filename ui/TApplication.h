#pragma once

#include "platform/widgets/MessageBox.h"

#include <QApplication>

#include <functional>

// The program's application object. An exception that leaves a command (or
// any other event handler) is reported in a message box with the exception's
// text, captioned with the program's title, and the message loop goes on: the
// program must not end with its settings unsaved because one command failed.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    // Where the reports go: the real message box, unless boxes says otherwise;
    // nullptr goes back to the real one. Not owned.
    void SetMessageBoxes(MessageBoxes* boxes);

    // Runs work; an exception it raises is reported and swallowed. Returns
    // whether work ran to its end. The window runs each command through it,
    // so that an exception never travels through Qt's own frames, which are
    // not written for it. Without a TApplication (a benchmark's plain
    // application) work runs unguarded.
    static bool RunGuarded(const std::function<void()>& work);

    // Delivers the event through RunGuarded: the net for event handlers that
    // are not commands. An event whose handler threw counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Report(const QString& text);

    QtMessageBoxes realBoxes_;
    MessageBoxes* boxes_ = &realBoxes_;
};
