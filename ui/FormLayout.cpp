#include "ui/FormLayout.h"

FormLayout ComputeFormLayout(const FormLayoutInput& in) {
    FormLayout out{};
    const int W = in.outerWidth;

    out.statusPanelWidths[1] = 140;
    out.statusPanelWidths[2] = 20;
    out.statusPanelWidths[0] = in.clientWidth - out.statusPanelWidths[1] - out.statusPanelWidths[2] - 20;
    out.statusPanelWidths[3] =
        in.clientWidth - out.statusPanelWidths[0] - out.statusPanelWidths[1] - out.statusPanelWidths[2];
    out.progressLeft = out.statusPanelWidths[0] + 3;
    out.linkPanelLeft = out.statusPanelWidths[0] + out.statusPanelWidths[1] + 6;

    const int G = in.clientWidth - 14;
    int a = (W - 105) / 5;
    if (a < 110)
        a = 110;
    const int b = (W - a - 105) / 3;
    out.colWidths = {45, G - 45 - 3 * b - 25, b, b, b};

    out.grid = {8, 44, G, in.clientHeight - 70};
    out.toolBar = {8, 4, G, 33};
    out.panel6Left = out.toolBar.width - ToolPanelWidth;
    out.panel5Left = out.panel6Left - ToolPanelWidth - 20;
    return out;
}
