#pragma once

#include <array>

// Where the main window's controls go for a given window size: the layout
// routine's formulas, apart from the widgets they are applied to.
struct FormLayoutInput {
    int outerWidth;    // W: the window's width including its frame
    int clientWidth;   // CW
    int clientHeight;  // CH: from below the menu bar to the bottom, status bar included
};

struct Box {
    int left;
    int top;
    int width;
    int height;

    bool operator==(const Box&) const = default;
};

struct FormLayout {
    std::array<int, 5> colWidths;            // table columns 0 to 4
    Box grid;                                // the table
    Box toolBar;                             // Panel3
    int panel6Left;                          // the Exit button's panel, at the right end
    int panel5Left;                          // the help button's panel, 20 pixels before it
    std::array<int, 4> statusPanelWidths;    // panel 3 takes what is left
    int progressLeft;                        // ProgressBar1, over status panel 1
    int linkPanelLeft;                       // PanelShapeLink, in status panel 2
};

inline constexpr int ToolPanelWidth = 33;
inline constexpr int StatusBarHeight = 19;

FormLayout ComputeFormLayout(const FormLayoutInput& in);
