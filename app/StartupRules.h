#pragma once

#include <QString>

// The decisions start-up takes from the settings file, as plain functions.

// The start counter to store: the value read plus 1, counting from 0 when the
// stored text is not a number.
int NextUses(const QString& stored);

// What [Config] COMPortNumber selects.
struct PortChoice {
    bool usb = false;        // first character "U" (upper case only)
    int comPort = 1;         // otherwise the COM port, 1 to 99
    bool storeOne = false;   // "1" is to be written back (missing, empty or out of range)
};
PortChoice ChoosePort(const QString& stored);
