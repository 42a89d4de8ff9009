#pragma once

#include <QObject>
#include <QString>

#include <vector>

// The cell texts of the measurement table, addressed as (column, row) with
// rows 0 and 1 as the fixed header rows and column 0 as the fixed number
// column. The rendering, the copy commands and the report read the table
// through this model; a view only shows it.
//
// Like the string grid the table was designed with, cells live on when the row
// count shrinks and reappear when it grows again, and cells may be written
// beyond the row count.
class TStringGrid : public QObject {
    Q_OBJECT

public:
    struct TGridRect {
        int Left;
        int Top;
        int Right;
        int Bottom;
    };

    explicit TStringGrid(int colCount, int rowCount, QObject* parent = nullptr);

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }
    void SetRowCount(int rows);
    int FixedCols() const { return 1; }
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int rows);

    // Empty text for a cell never written (or a column outside the grid).
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);

    // Whole data rows, Left = first non-fixed column, Right = last column. With
    // no data row the selection is empty: Top > Bottom.
    TGridRect Selection() const;
    // Selects the data rows from..to (either order), clamped to the data rows.
    void SelectRows(int from, int to);

    // A moved column or row takes its cells with it; the others close up.
    // Columns move with their header cells, rows only among the data rows.
    void MoveColumn(int from, int to);
    void MoveRow(int from, int to);

Q_SIGNALS:
    void CellChanged(int col, int row);
    void RowCountChanged(int oldCount, int newCount);
    void CellsMoved();
    void SelectionChanged();

private:
    QString* CellSlot(int col, int row);
    // Selects top..bottom kept inside the data rows; signals a change.
    void KeepSelection(int top, int bottom);

    int colCount_;
    int rowCount_;
    int fixedRows_ = 2;
    std::vector<std::vector<QString>> rows_;  // grows on demand, never shrinks
    int selTop_ = 2;
    int selBottom_ = 2;
};
