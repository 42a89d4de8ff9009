#include "output/ClipboardCopy.h"

#include "archive/StringGrid.h"

#include <QStringList>

QString WholeTableText(const TStringGrid& grid) {
    QString text;
    for (int row = 0; row < grid.RowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < grid.ColCount(); ++col)
            cells << grid.Cells(col, row);
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QString SelectionText(const TStringGrid& grid) {
    const TStringGrid::TGridRect sel = grid.Selection();
    QString text;
    for (int row = sel.Top; row <= sel.Bottom; ++row) {
        QStringList cells;
        for (int col = sel.Left; col <= sel.Right; ++col)
            cells << grid.Cells(col, row);
        text += cells.join(QLatin1Char('\t')) + QLatin1String("\r\n");
    }
    return text;
}
