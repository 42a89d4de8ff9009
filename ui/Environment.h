#pragma once

#include <QString>

class Clipboard;
class ColorDialogs;
class CommApi;
class ComPortList;
class Desktop;
class FileDialogs;
class MessageBoxes;
class ProcessExit;
class VersionRecords;

// What the main window is given from outside: where the program lives and the
// platform facilities that need a person or end the process. The program
// passes the real ones; tests pass fakes.
struct Environment {
    QString programDir;
    MessageBoxes* messageBoxes = nullptr;
    FileDialogs* fileDialogs = nullptr;
    Clipboard* clipboard = nullptr;
    ProcessExit* processExit = nullptr;
    // The serial ports: the calls that drive them and the list of those present.
    CommApi* commApi = nullptr;
    ComPortList* comPorts = nullptr;
    ColorDialogs* colorDialogs = nullptr;
    // The browser and mail program for help and the About box's links, and
    // the program's version record.
    Desktop* desktop = nullptr;
    VersionRecords* versionRecords = nullptr;
};
