#include "output/ClipboardCopy.h"

#include "archive/StringGrid.h"

#include <QStringList>

namespace {

// Rows top..bottom, each the cells of columns left..right joined by TAB and
// ended by lineEnd.
QString RowsText(const TStringGrid& grid, const TStringGrid::TGridRect& cells, QLatin1String lineEnd) {
    QString text;
    for (int row = cells.Top; row <= cells.Bottom; ++row) {
        QStringList line;
        for (int col = cells.Left; col <= cells.Right; ++col)
            line << grid.Cells(col, row);
        text += line.join(QLatin1Char('\t')) + lineEnd;
    }
    return text;
}

}  // namespace

QString WholeTableText(const TStringGrid& grid) {
    return RowsText(grid, {0, 0, grid.ColCount() - 1, grid.RowCount() - 1}, QLatin1String("\n"));
}

QString SelectionText(const TStringGrid& grid) {
    return RowsText(grid, grid.Selection(), QLatin1String("\r\n"));
}
