#include "archive/StringGrid.h"

#include <algorithm>

TStringGrid::TStringGrid(int colCount, int rowCount, QObject* parent)
    : QObject(parent), colCount_(colCount), rowCount_(std::max(rowCount, 0)) {
    KeepSelection(selTop_, selBottom_);
}

void TStringGrid::SetRowCount(int rows) {
    rows = std::max(rows, 0);
    if (rows == rowCount_)
        return;
    const int old = rowCount_;
    rowCount_ = rows;
    Q_EMIT RowCountChanged(old, rows);
    KeepSelection(selTop_, selBottom_);
}

void TStringGrid::SetFixedRows(int rows) {
    fixedRows_ = std::max(rows, 0);
    KeepSelection(selTop_, selBottom_);
}

QString TStringGrid::Cells(int col, int row) const {
    if (col < 0 || col >= colCount_ || row < 0 || row >= static_cast<int>(rows_.size()))
        return {};
    return rows_[row][col];
}

QString* TStringGrid::CellSlot(int col, int row) {
    if (col < 0 || col >= colCount_ || row < 0)
        return nullptr;
    if (row >= static_cast<int>(rows_.size()))
        rows_.resize(row + 1, std::vector<QString>(colCount_));
    return &rows_[row][col];
}

void TStringGrid::SetCells(int col, int row, const QString& text) {
    QString* slot = CellSlot(col, row);
    if (!slot || *slot == text)
        return;
    *slot = text;
    Q_EMIT CellChanged(col, row);
}

TStringGrid::TGridRect TStringGrid::Selection() const {
    return {FixedCols(), selTop_, colCount_ - 1, selBottom_};
}

void TStringGrid::SelectRows(int from, int to) {
    KeepSelection(std::min(from, to), std::max(from, to));
}

void TStringGrid::KeepSelection(int top, int bottom) {
    const int first = fixedRows_;
    const int last = rowCount_ - 1;
    if (last < first) {
        top = first;
        bottom = first - 1;
    } else {
        top = std::clamp(top, first, last);
        bottom = std::clamp(bottom, top, last);
    }
    if (top == selTop_ && bottom == selBottom_)
        return;
    selTop_ = top;
    selBottom_ = bottom;
    Q_EMIT SelectionChanged();
}

void TStringGrid::MoveColumn(int from, int to) {
    if (from == to || from < FixedCols() || to < FixedCols() || from >= colCount_ || to >= colCount_)
        return;
    for (std::vector<QString>& row : rows_) {
        if (from < to)
            std::rotate(row.begin() + from, row.begin() + from + 1, row.begin() + to + 1);
        else
            std::rotate(row.begin() + to, row.begin() + from, row.begin() + from + 1);
    }
    Q_EMIT CellsMoved();
}

void TStringGrid::MoveRow(int from, int to) {
    if (from == to || from < fixedRows_ || to < fixedRows_ || from >= rowCount_ || to >= rowCount_)
        return;
    CellSlot(0, std::max(from, to));  // both rows exist in storage from here on
    if (from < to)
        std::rotate(rows_.begin() + from, rows_.begin() + from + 1, rows_.begin() + to + 1);
    else
        std::rotate(rows_.begin() + to, rows_.begin() + from, rows_.begin() + from + 1);
    Q_EMIT CellsMoved();
}
