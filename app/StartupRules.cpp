#include "app/StartupRules.h"

#include "app/Settings.h"

#include <limits>

int NextUses(const QString& stored) {
    const int uses = ParseDecimal(stored).value_or(0);
    return uses == std::numeric_limits<int>::max() ? uses : uses + 1;
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
