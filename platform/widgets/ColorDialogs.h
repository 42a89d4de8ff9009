#pragma once

#include "platform/TColor.h"

// The system's colour dialog, without an owner window.
class ColorDialogs {
public:
    virtual ~ColorDialogs() = default;
    // Opens the dialog preset to colour; true with the colour chosen in it,
    // false with colour unchanged when the user cancels.
    virtual bool Execute(TColor& colour) = 0;
};

class QtColorDialogs final : public ColorDialogs {
public:
    bool Execute(TColor& colour) override;
};
