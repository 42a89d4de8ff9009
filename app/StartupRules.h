#pragma once

#include <QString>

// The decisions start-up takes from the settings file, as plain functions.

// The start counter to store: the value read plus 1, counting from 0 when the
// stored text is not a number.
int NextUses(const QString& stored);

struct WindowBounds {
    int left;
    int top;
    int width;
    int height;
};

inline constexpr int MinFormWidth = 454;
inline constexpr int MinFormHeight = 307;

// Window bounds from the stored [FormMain] values on a screen of the given size.
// A value that is not a number stands for half the screen's width or height;
// then the size is kept between the minimum and the screen, and the window
// inside the screen.
WindowBounds RestoreBounds(const QString& width, const QString& left, const QString& height,
                           const QString& top, int screenWidth, int screenHeight);

// [FormMain] Maximized: opens maximized when its first character is "1".
bool OpensMaximized(const QString& stored);

// What [Config] COMPortNumber selects.
struct PortChoice {
    bool usb = false;        // first character "U" (upper case only)
    int comPort = 1;         // otherwise the COM port, 1 to 99
    bool storeOne = false;   // "1" is to be written back (missing, empty or out of range)
};
PortChoice ChoosePort(const QString& stored);
