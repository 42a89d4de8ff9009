#pragma once

#include <QString>
#include <QStringList>

// What the program was asked on its command line. Without arguments of its
// own it opens its window as always (Qt's own arguments, "-platform ...",
// and anything else then go to Qt); "--export", "--language", "--help" or
// "-h" anywhere make it a command that runs without a window, and then every
// argument must be one of these:
//   vel --export OUT ARCHIVE.Vel [--language ru|en]
//   vel --help [--language ru|en]
struct CommandLine {
    enum class Mode {
        Window,  // start the program as usual
        Help,    // print the usage and end
        Export,  // write the measurement report of an archive file
        Wrong,   // a usage error; problem says what
    };
    Mode mode = Mode::Window;
    QString out;      // Export: the file to write, its format by extension
    QString archive;  // Export: the archive file to read
    bool english = false;
    QString problem;  // Wrong: one line, in the language asked for
};

// arguments: without the program's own name.
CommandLine ParseCommandLine(const QStringList& arguments);

// The usage, several lines, ending in a line break.
QString HelpText(bool english);
