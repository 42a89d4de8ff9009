#include "ui/TShape.h"

#include <QPainter>

#include <algorithm>

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(TColor colour) {
    if (brush_ == colour)
        return;
    brush_ = colour;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(ToQColor(brush_));
    const int d = std::min(width(), height()) - 1;
    painter.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
}
