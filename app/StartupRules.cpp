#include "app/StartupRules.h"

#include "app/Settings.h"

#include <limits>

int NextUses(const QString& stored) {
    const int uses = ParseDecimal(stored).value_or(0);
    return uses == std::numeric_limits<int>::max() ? uses : uses + 1;
}

WindowBounds RestoreBounds(const QString& width, const QString& left, const QString& height,
                           const QString& top, int screenWidth, int screenHeight) {
    WindowBounds b{};
    const int w = ParseDecimal(width).value_or(screenWidth / 2);
    b.width = w < MinFormWidth ? MinFormWidth : w > screenWidth ? screenWidth : w;
    const int l = ParseDecimal(left).value_or(screenWidth / 2);
    b.left = l < 0 ? 0 : l > screenWidth - b.width ? screenWidth - b.width : l;
    const int h = ParseDecimal(height).value_or(screenHeight / 2);
    b.height = h < MinFormHeight ? MinFormHeight : h > screenHeight ? screenHeight : h;
    const int t = ParseDecimal(top).value_or(screenHeight / 2);
    b.top = t < 0 ? 0 : t > screenHeight - b.height ? screenHeight - b.height : t;
    return b;
}

bool OpensMaximized(const QString& stored) {
    return stored.startsWith(QLatin1Char('1'));
}

PortChoice ChoosePort(const QString& stored) {
    PortChoice choice;
    if (stored.isEmpty()) {
        choice.storeOne = true;
        return choice;
    }
    if (stored.startsWith(QLatin1Char('U'))) {
        choice.usb = true;
        return choice;
    }
    const std::optional<int> n = ParseDecimal(stored);
    if (!n)
        return choice;  // not a number: COM1, and the stored text stays as it is
    if (*n < 1 || *n > 99) {
        choice.storeOne = true;
        return choice;
    }
    choice.comPort = *n;
    return choice;
}
