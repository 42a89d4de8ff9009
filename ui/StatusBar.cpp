#include "ui/StatusBar.h"

#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
    if (panels_.at(panel).text == text)
        return;
    panels_.at(panel).text = text;
    update();
}

void TStatusBar::SetPanelWidth(int panel, int width) {
    if (panels_.at(panel).width == width)
        return;
    panels_.at(panel).width = width;
    update();
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    int left = 0;
    for (int i = 0; i < PanelCount; ++i) {
        const bool last = i == PanelCount - 1;
        const int width = last ? std::max(this->width() - left, 0) : panels_[i].width;
        const QRect box(left, 0, width - 2, height());
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.rect = box;
        frame.lineWidth = 1;
        frame.state |= QStyle::State_Sunken;
        style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
        const QRect textBox = box.adjusted(3, 0, -3, 0);
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(panels_[i].text, Qt::ElideRight, textBox.width()));
        left += width;
    }
}
