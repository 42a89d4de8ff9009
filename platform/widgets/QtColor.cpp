#include "QtColor.h"

#include <QGuiApplication>
#include <QPalette>

QColor ToQColor(TColor colour) {
    if (colour == clBtnFace)
        return QGuiApplication::palette().color(QPalette::Button);
    const auto bgr = static_cast<std::uint32_t>(colour);
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
