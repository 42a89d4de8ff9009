#pragma once

#include <QString>

// The program's title: main window caption and message box caption.
inline QString ApplicationTitle() {
    return QStringLiteral("ВЕЛ. Плотномер асфальта");
}
