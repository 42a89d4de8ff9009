#pragma once

#include "platform/TColor.h"

#include <QString>

// Where the device screen window opens, from its stored [Screenshot] values:
// the stored position, or centred over the main window when the text is not a
// number, then kept on the screen. Past the right edge it stands flush right;
// past the bottom it stands 25 pixels higher than flush, clear of a task bar.
int ScreenshotLeft(const QString& stored, int centred, int screenWidth, int windowWidth);
int ScreenshotTop(const QString& stored, int centred, int screenHeight, int windowHeight);

// A stored colour: the decimal number, or fallback when the text is not one.
TColor ScreenshotColour(const QString& stored, TColor fallback);
