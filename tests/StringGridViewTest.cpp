#include "ui/StringGridView.h"

#include "archive/StringGrid.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QItemSelectionModel>

namespace {

class StringGridViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 5; ++c)
                grid.SetCells(c, r, QStringLiteral("%1/%2").arg(c).arg(r));
        view.resize(400, 300);
        view.show();
    }
    QString Shown(int row, int col) const { return view.model()->index(row, col).data().toString(); }
    QString Header(Qt::Orientation o, int section) const {
        return view.model()->headerData(section, o, Qt::DisplayRole).toString();
    }

    TStringGrid grid{5, 6};
    TStringGridView view{grid};
};

TEST_F(StringGridViewTest, HeaderRowsAndNumberColumnStayOutOfTheScrollingCells) {
    EXPECT_EQ(view.model()->rowCount(), 4);
    EXPECT_EQ(view.model()->columnCount(), 4);
    EXPECT_EQ(Shown(0, 0), QStringLiteral("1/2"));
    EXPECT_EQ(Header(Qt::Horizontal, 1), QStringLiteral("2/0\n2/1"));
    EXPECT_EQ(Header(Qt::Vertical, 3), QStringLiteral("0/5"));

    grid.SetCells(3, 4, QStringLiteral("new"));
    grid.SetRowCount(8);
    EXPECT_EQ(Shown(2, 2), QStringLiteral("new"));
    EXPECT_EQ(view.model()->rowCount(), 6);
    grid.SetRowCount(2);
    EXPECT_EQ(view.model()->rowCount(), 0);
}

TEST_F(StringGridViewTest, DraggingHeadersMovesTheGridCells) {
    view.SetColWidth(1, 120);
    view.horizontalHeader()->moveSection(0, 2);  // grid column 1 dragged to place 3
    EXPECT_EQ(grid.Cells(3, 2), QStringLiteral("1/2"));
    EXPECT_EQ(grid.Cells(3, 0), QStringLiteral("1/0"));
    EXPECT_EQ(view.horizontalHeader()->visualIndex(0), 0);  // the view's order stays plain
    EXPECT_EQ(view.ColWidth(3), 120);                       // the width went along

    view.verticalHeader()->moveSection(3, 0);  // the last data row dragged to the top
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("0/5"));
    EXPECT_EQ(grid.Cells(0, 3), QStringLiteral("0/2"));
    EXPECT_EQ(Header(Qt::Vertical, 0), QStringLiteral("0/5"));
}

TEST_F(StringGridViewTest, SelectionIsSharedWithTheGrid) {
    QItemSelectionModel* selection = view.selectionModel();
    selection->select(QItemSelection(view.model()->index(1, 0), view.model()->index(2, 3)),
                      QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(grid.Selection().Top, 3);
    EXPECT_EQ(grid.Selection().Bottom, 4);

    grid.SelectRows(5, 2);
    EXPECT_EQ(selection->selectedRows().size(), 4);
}

}  // namespace
