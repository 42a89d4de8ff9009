#include "ui/StringGridView.h"

#include "archive/StringGrid.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionHeader>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr int HeaderRows = 2;  // grid rows shown as column headers
constexpr int HeaderCols = 1;  // grid columns shown as row headers

}  // namespace

// Presents the grid's data cells as a table model: model (r, c) is grid
// (c + 1, r + 2); grid rows 0-1 are the horizontal header, column 0 the
// vertical one.
class GridTableAdapter : public QAbstractTableModel {
public:
    explicit GridTableAdapter(TStringGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {
        rows_ = DataRows();
        connect(&grid, &TStringGrid::CellChanged, this, &GridTableAdapter::OnCellChanged);
        connect(&grid, &TStringGrid::RowCountChanged, this, &GridTableAdapter::OnRowCountChanged);
        connect(&grid, &TStringGrid::CellsMoved, this, &GridTableAdapter::OnCellsMoved);
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_.ColCount() - HeaderCols;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole)
            return grid_.Cells(index.column() + HeaderCols, index.row() + HeaderRows);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return grid_.Cells(0, section + HeaderRows);
        return HeaderText(section + HeaderCols);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    QString HeaderText(int col) const { return grid_.Cells(col, 0) + QLatin1Char('\n') + grid_.Cells(col, 1); }

    std::function<void()> cornerChanged;
    // A row header's text changed. Qt's own notice would make the header
    // measure its texts again each time, which a full archive pays 2677 times.
    std::function<void(int)> rowHeaderChanged;

private:
    int DataRows() const { return std::max(grid_.RowCount() - HeaderRows, 0); }

    void OnCellChanged(int col, int row) {
        if (col < HeaderCols && row < HeaderRows) {
            if (cornerChanged)
                cornerChanged();
        } else if (row < HeaderRows) {
            Q_EMIT headerDataChanged(Qt::Horizontal, col - HeaderCols, col - HeaderCols);
        } else if (row - HeaderRows < rows_) {
            if (col < HeaderCols) {
                if (rowHeaderChanged)
                    rowHeaderChanged(row - HeaderRows);
            } else
                Q_EMIT dataChanged(index(row - HeaderRows, col - HeaderCols), index(row - HeaderRows, col - HeaderCols));
        }
    }

    void OnRowCountChanged() {
        const int rows = DataRows();
        if (rows > rows_) {
            beginInsertRows({}, rows_, rows - 1);
            rows_ = rows;
            endInsertRows();
        } else if (rows < rows_) {
            beginRemoveRows({}, rows, rows_ - 1);
            rows_ = rows;
            endRemoveRows();
        }
    }

    void OnCellsMoved() {
        if (rows_ > 0)
            Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (rows_ > 0)
            Q_EMIT headerDataChanged(Qt::Vertical, 0, rows_ - 1);
    }

    TStringGrid& grid_;
    int rows_ = 0;
};

TStringGridView::TStringGridView(TStringGrid& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), adapter_(new GridTableAdapter(grid, this)) {
    setModel(adapter_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setShowGrid(true);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(false);
    columns->setMinimumSectionSize(0);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setFixedHeight(HeaderRows * (DefaultRowHeight + 1));
    columns->setHighlightSections(false);

    QHeaderView* rows = verticalHeader();
    rows->setSectionsMovable(true);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(DefaultRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    rows->setHighlightSections(false);

    connect(columns, &QHeaderView::sectionMoved, this,
            [this](int, int oldVisual, int newVisual) { ColumnDragged(oldVisual, newVisual); });
    connect(rows, &QHeaderView::sectionMoved, this,
            [this](int, int oldVisual, int newVisual) { RowDragged(oldVisual, newVisual); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &TStringGridView::SelectionFromView);
    connect(&grid, &TStringGrid::SelectionChanged, this, &TStringGridView::SelectionFromGrid);

    corner_ = findChild<QAbstractButton*>();
    if (corner_)
        corner_->installEventFilter(this);
    adapter_->rowHeaderChanged = [this](int section) {
        QHeaderView* rows = verticalHeader();
        const int y = rows->sectionViewportPosition(section);
        if (y + rows->sectionSize(section) > 0 && y < rows->viewport()->height())
            rows->viewport()->update(0, y, rows->viewport()->width(), rows->sectionSize(section));
    };
    adapter_->cornerChanged = [this] {
        if (corner_)
            corner_->update();
    };
}

TStringGridView::~TStringGridView() = default;

int TStringGridView::ColWidth(int col) const {
    return col == 0 ? verticalHeader()->width() : columnWidth(col - HeaderCols);
}

void TStringGridView::SetColWidth(int col, int width) {
    if (col == 0)
        verticalHeader()->setFixedWidth(width);
    else
        setColumnWidth(col - HeaderCols, width);
}

// The header keeps its sections in place; the grid moves the cells instead,
// and the column's width goes along with it.
void TStringGridView::ColumnDragged(int oldVisual, int newVisual) {
    QHeaderView* columns = horizontalHeader();
    {
        const QSignalBlocker block(columns);
        columns->moveSection(newVisual, oldVisual);
    }
    std::vector<int> widths;
    for (int c = 0; c < adapter_->columnCount(); ++c)
        widths.push_back(columnWidth(c));
    const int moved = widths[oldVisual];
    widths.erase(widths.begin() + oldVisual);
    widths.insert(widths.begin() + newVisual, moved);
    grid_.MoveColumn(oldVisual + HeaderCols, newVisual + HeaderCols);
    for (int c = 0; c < static_cast<int>(widths.size()); ++c)
        setColumnWidth(c, widths[c]);
}

void TStringGridView::RowDragged(int oldVisual, int newVisual) {
    QHeaderView* rows = verticalHeader();
    {
        const QSignalBlocker block(rows);
        rows->moveSection(newVisual, oldVisual);
    }
    grid_.MoveRow(oldVisual + HeaderRows, newVisual + HeaderRows);
}

void TStringGridView::SelectionFromView() {
    if (syncingSelection_)
        return;
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        // A click beside the rows, for one, clears the view's selection; the
        // grid has kept its own, which must stay in sight.
        SelectionFromGrid();
        return;
    }
    int top = selected.front().row();
    int bottom = top;
    for (const QModelIndex& index : selected) {
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
    }
    syncingSelection_ = true;
    grid_.SelectRows(top + HeaderRows, bottom + HeaderRows);
    syncingSelection_ = false;
}

void TStringGridView::SelectionFromGrid() {
    if (syncingSelection_)
        return;
    const TStringGrid::TGridRect sel = grid_.Selection();
    syncingSelection_ = true;
    // While the row count changes the grid may still name rows the view no
    // longer has; it sends its kept selection right after.
    if (sel.Top > sel.Bottom || sel.Bottom - HeaderRows >= adapter_->rowCount()) {
        selectionModel()->clearSelection();
    } else {
        const QItemSelection rows(adapter_->index(sel.Top - HeaderRows, 0),
                                  adapter_->index(sel.Bottom - HeaderRows, adapter_->columnCount() - 1));
        selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    }
    syncingSelection_ = false;
}

void TStringGridView::keyboardSearch(const QString&) {}

void TStringGridView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        grid_.SelectRows(grid_.FixedRows(), grid_.RowCount() - 1);
        event->accept();
        return;
    }
    // Space would select the view's current cell, which need not be the
    // grid's; copying is the window's command.
    if (event->matches(QKeySequence::Copy) || event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) {
        event->ignore();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool TStringGridView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == corner_ && event->type() == QEvent::Paint) {
        PaintCorner(corner_);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

// The corner holds cells (0, 0) and (0, 1): the column title and the count.
void TStringGridView::PaintCorner(QWidget* corner) {
    QPainter painter(corner);
    QStyleOptionHeader option;
    option.initFrom(corner);
    option.rect = corner->rect();
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.text = adapter_->HeaderText(0);
    // The corner button is disabled so that a click selects nothing; its text
    // is drawn like any other header's.
    option.state |= QStyle::State_Raised | QStyle::State_Enabled;
    option.palette.setCurrentColorGroup(QPalette::Active);
    corner->style()->drawControl(QStyle::CE_Header, &option, &painter, corner);
}
