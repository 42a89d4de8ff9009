#pragma once

#include "report/ReportTemplate.h"

#include <QRectF>
#include <QString>

#include <vector>

// A report laid out: page after page of text objects at their places, with
// their final texts. The one input of the preview, printing and every export.

struct PlacedText {
    TextObject style;  // font, frame and alignment; its text and place as in the template
    QRectF rect;       // on the page, in layout units from the paper's top-left corner
    QString text;      // the variables resolved
};

struct PreparedPage {
    std::vector<PlacedText> texts;
};

struct PreparedReport {
    PageSetup page;
    std::vector<PreparedPage> pages;
};
