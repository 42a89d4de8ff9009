#pragma once

#include <QToolButton>

// A flat tool-bar button showing only its action's picture, 23 × 22 pixels.
// It carries no hint text: Qt would copy the action's text into the tooltip
// whenever the action changes (enabled, disabled, a new picture), so the
// button clears it again each time.
class TSpeedButton : public QToolButton {
    Q_OBJECT

public:
    TSpeedButton(QAction* action, QWidget* parent);

protected:
    void actionEvent(QActionEvent* event) override;
};
