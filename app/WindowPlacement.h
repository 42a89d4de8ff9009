#pragma once

#include <QString>

// Where the main window stands between runs: [FormMain] of the settings file.
// Every size and position is the window's outer one, frame included.

inline constexpr int MinFormWidth = 454;
inline constexpr int MinFormHeight = 307;

struct WindowBounds {
    int left;
    int top;
    int width;
    int height;

    bool operator==(const WindowBounds&) const = default;
};

struct WindowPlacement {
    WindowBounds bounds;  // the normal (not maximized) bounds
    bool maximized;
};

// Window bounds from the stored [FormMain] values on a screen of the given size.
// A value that is not a number stands for half the screen's width or height;
// then the size is kept between the minimum and the screen, and the window
// inside the screen.
WindowBounds RestoreBounds(const QString& width, const QString& left, const QString& height,
                           const QString& top, int screenWidth, int screenHeight);

// [FormMain] Maximized: opens maximized when its first character is "1".
bool OpensMaximized(const QString& stored);

// The placement start-up gives the window, from the settings file.
WindowPlacement ReadWindowPlacement(int screenWidth, int screenHeight);

// Stores the placement as exit leaves it: Maximized, then Left, Top, Width
// and Height, one key at a time.
void WriteWindowPlacement(const WindowPlacement& placement);
