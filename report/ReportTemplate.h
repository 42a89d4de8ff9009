#pragma once

#include <QString>

#include <vector>

// A report's template: the page, and the bands whose text objects the layout
// places. Lengths are in the layout unit, 1/96 inch, unless they say mm.
// Nothing here knows what the report is about: its texts name variables in
// square brackets, "[Name]", which the layout asks its caller for, and
// "[Page#]", the page number.

inline constexpr double UnitsPerMm = 96.0 / 25.4;

struct TextObject {
    QString name;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    QString fontFamily = QStringLiteral("Times New Roman");
    // Negative: the character height in pixels at 96 dpi; positive: points.
    int fontHeight = -13;
    bool bold = false;
    bool frame = false;    // a single line on all four sides
    bool centred = true;   // horizontally and vertically; otherwise top left
    QString text;

    bool operator==(const TextObject&) const = default;
};

enum class BandKind { ReportTitle, PageHeader, MasterData, PageFooter };

struct Band {
    BandKind kind = BandKind::MasterData;
    QString name;
    double height = 0;
    // Page footers only: whether the first page has one too.
    bool printOnFirstPage = true;
    std::vector<TextObject> objects;

    bool operator==(const Band&) const = default;
};

struct PageSetup {
    double widthMm = 210;   // the paper as it lies, portrait or landscape
    double heightMm = 297;
    bool landscape = false;
    double leftMm = 0;
    double topMm = 0;
    double rightMm = 0;
    double bottomMm = 0;

    // The paper and the area inside the margins, in layout units.
    double Width() const { return widthMm * UnitsPerMm; }
    double Height() const { return heightMm * UnitsPerMm; }
    double PrintableWidth() const { return (widthMm - leftMm - rightMm) * UnitsPerMm; }
    double PrintableHeight() const { return (heightMm - topMm - bottomMm) * UnitsPerMm; }

    bool operator==(const PageSetup&) const = default;
};

struct ReportTemplate {
    QString name;
    PageSetup page;
    std::vector<Band> bands;

    // The first band of a kind, or nullptr.
    const Band* Find(BandKind kind) const;

    bool operator==(const ReportTemplate&) const = default;
};
