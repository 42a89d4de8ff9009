#include "report/ReportPainter.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// A template's font height: negative is pixels at 96 dpi (layout units),
// positive is points.
double FontPixels(int height, double unitsToDevice) {
    const double units = height < 0 ? -height : height * 96.0 / 72.0;
    return units * unitsToDevice;
}

}  // namespace

void PaintReportPage(QPainter& painter, const PreparedPage& page, double unitsToDevice) {
    painter.save();
    QPen line(Qt::black);
    line.setWidthF(std::max(1.0, unitsToDevice * 0.75));
    for (const PlacedText& text : page.texts) {
        const QRectF rect(text.rect.left() * unitsToDevice, text.rect.top() * unitsToDevice,
                          text.rect.width() * unitsToDevice, text.rect.height() * unitsToDevice);
        if (text.style.frame) {
            painter.setPen(line);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect);
        }
        QFont font(text.style.fontFamily);
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(FontPixels(text.style.fontHeight, unitsToDevice)))));
        font.setBold(text.style.bold);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const int alignment = text.style.centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop);
        painter.drawText(rect, alignment | Qt::TextWordWrap, text.text);
    }
    painter.restore();
}
