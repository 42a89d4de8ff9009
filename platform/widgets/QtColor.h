#pragma once

#include "platform/TColor.h"

#include <QColor>

// The colour to paint with; system colours come from the application palette.
QColor ToQColor(TColor colour);
