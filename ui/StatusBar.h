#pragma once

#include <QString>
#include <QWidget>

#include <array>

// A status bar of sunken panels with widths set by the window's layout; the
// last panel takes what is left. Other controls may sit on top of a panel.
class TStatusBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int PanelCount = 4;

    explicit TStatusBar(QWidget* parent = nullptr);

    QString PanelText(int panel) const { return panels_.at(panel).text; }
    void SetPanelText(int panel, const QString& text);
    int PanelWidth(int panel) const { return panels_.at(panel).width; }
    void SetPanelWidth(int panel, int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Panel {
        int width = 50;
        QString text;
    };
    std::array<Panel, PanelCount> panels_;
};
