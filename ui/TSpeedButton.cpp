#include "ui/TSpeedButton.h"

TSpeedButton::TSpeedButton(QAction* action, QWidget* parent) : QToolButton(parent) {
    setDefaultAction(action);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(16, 16));
    resize(23, 22);
    setToolTip(QString());
}

void TSpeedButton::actionEvent(QActionEvent* event) {
    QToolButton::actionEvent(event);
    setToolTip(QString());
}
