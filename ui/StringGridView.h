#pragma once

#include <QTableView>

class TStringGrid;
class GridTableAdapter;

// Shows a TStringGrid the way the measurement table is meant to look: rows 0
// and 1 as two-line column headers and column 0 as row headers, so both stay
// in place while the data scrolls. Whole rows are selected, and a range of
// rows; dragging a column or a row header moves the cells in the grid itself
// (the copy commands and the report read cells by position).
//
// The selection shown is always the grid's, which the copy commands take:
// typing (a blank included) neither searches nor selects rows, a click beside
// the rows keeps the selection, Ctrl+A selects every data row, and the view
// copies nothing by itself (the window binds the copy keys to its copy
// command).
class TStringGridView : public QTableView {
    Q_OBJECT

public:
    static constexpr int DefaultRowHeight = 17;

    explicit TStringGridView(TStringGrid& grid, QWidget* parent = nullptr);
    ~TStringGridView() override;

    TStringGrid& Grid() const { return grid_; }

    // Column widths in grid columns; column 0 is the row header.
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);

    void keyboardSearch(const QString& search) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ColumnDragged(int oldVisual, int newVisual);
    void RowDragged(int oldVisual, int newVisual);
    void SelectionFromView();
    void SelectionFromGrid();
    void PaintCorner(QWidget* corner);

    TStringGrid& grid_;
    GridTableAdapter* adapter_;
    QWidget* corner_ = nullptr;
    bool syncingSelection_ = false;
};
