#pragma once

#include "platform/widgets/QtColor.h"

#include <QWidget>

// A circle filled with a brush colour and outlined in black: the link
// indicator of the status bar.
class TShape : public QWidget {
    Q_OBJECT

public:
    explicit TShape(QWidget* parent = nullptr);

    TColor BrushColor() const { return brush_; }
    void SetBrushColor(TColor colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TColor brush_ = clBtnFace;
};
