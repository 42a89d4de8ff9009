#include "platform/widgets/ColorDialogs.h"

#include "platform/widgets/QtColor.h"

#include <QColorDialog>

bool QtColorDialogs::Execute(TColor& colour) {
    const QColor chosen = QColorDialog::getColor(ToQColor(colour));
    if (!chosen.isValid())
        return false;
    colour = static_cast<TColor>(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
    return true;
}
