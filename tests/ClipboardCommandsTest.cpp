// The copy commands and the table's keys, with Qt's real clipboard.

#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "support/FakeEnvironment.h"
#include "transport/ComPortOpening.h"
#include "ui/StatusBar.h"
#include "ui/StringGridView.h"
#include "ui/TForm1.h"
#include "ui/TSpeedButton.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cstring>
#include <memory>

namespace {

class ClipboardCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm1>(env.Get());
        Archive.Count = 3;
        for (int i = 0; i < 3; ++i) {
            Archive.Records[i] = TMeasurement{};
            Archive.Records[i].Number = static_cast<std::uint16_t>(101 + i);
            Archive.Records[i].Density = 2000.0f + i;
        }
        form->ShowArchive();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    void TearDown() override { std::memset(&Archive, 0, sizeof Archive); }

    static QString Clipboard() { return QGuiApplication::clipboard()->text(); }

    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
};

TEST_F(ClipboardCommandsTest, CopyAllPutsTheTableOnTheClipboard) {
    form->SpeedButton1->click();
    const QStringList lines = Clipboard().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 6);  // five rows, each ended by LF
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral(" № зап.\tДата, время\tПлотность,")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("103\t")));
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("Данные скопированы в буфер обмена."));
}

TEST_F(ClipboardCommandsTest, CtrlCInTheTableCopiesTheSelectedRows) {
    form->Grid().SelectRows(3, 4);
    form->SetStatusText(QStringLiteral("kept"));
    QTest::keyClick(form->StringGrid1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Clipboard(), QStringLiteral(" 0:00:00 ( 0  2000)\t2001,00\t\t,0\r\n"
                                          " 0:00:00 ( 0  2000)\t2000,00\t\t,0\r\n"));
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("kept"));

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    form->ACopyCtrlC->trigger();  // the context menu's command
    EXPECT_TRUE(Clipboard().endsWith(QStringLiteral("2000,00\t\t,0\r\n")));
}

TEST_F(ClipboardCommandsTest, ReadKeysOfTheTable) {
    // Without a port each Read ends at once, with a message.
    form->ComPorts().ClosePortIfOpen();
    QSignalSpy reads(form->ARead, &QAction::triggered);
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int reads;
    };
    const Case cases[] = {
        {Qt::Key_R, Qt::AltModifier, 1},
        {Qt::Key_R, Qt::ControlModifier, 1},
        {0x041A, Qt::ControlModifier, 1},  // the same key on a Russian layout
        {Qt::Key_R, Qt::NoModifier, 0},
        {Qt::Key_R, Qt::ShiftModifier, 0},
        {Qt::Key_C, Qt::NoModifier, 0},
    };
    for (const Case& c : cases) {
        reads.clear();
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
        QCoreApplication::sendEvent(form->StringGrid1, &press);
        EXPECT_EQ(reads.count(), c.reads) << c.key << " " << c.modifiers;
    }
    EXPECT_EQ(Clipboard(), QStringLiteral("before"));
}

// A copy takes the rows the table shows selected, whatever the user typed or
// clicked in it: typing searches nothing, Ctrl+A selects every row,
// Ctrl+Insert copies the rows as Ctrl+C does, and a click below the last row
// leaves the selection as it was.
TEST_F(ClipboardCommandsTest, CopyTakesTheRowsShownSelected) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const TStringGrid& grid = form->Grid();
    auto shownRows = [&] { return form->StringGrid1->selectionModel()->selectedRows().size(); };
    form->StringGrid1->setFocus();
    form->Grid().SelectRows(3, 3);

    QTest::keyClicks(form->StringGrid1, QStringLiteral("1 2"));
    EXPECT_EQ(grid.Selection().Top, 3);
    EXPECT_EQ(grid.Selection().Bottom, 3);
    EXPECT_EQ(shownRows(), 1);

    QTest::keyClick(form->StringGrid1, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(Clipboard(), QStringLiteral(" 0:00:00 ( 0  2000)\t2001,00\t\t,0\r\n"));

    QTest::keyClick(form->StringGrid1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid.Selection().Top, 2);
    EXPECT_EQ(grid.Selection().Bottom, 4);
    EXPECT_EQ(shownRows(), 3);

    QWidget* cells = form->StringGrid1->viewport();
    ASSERT_GT(cells->height(), 4 * 17);
    QTest::mouseClick(cells, Qt::LeftButton, Qt::NoModifier, QPoint(20, cells->height() - 3));
    EXPECT_EQ(grid.Selection().Top, 2);
    EXPECT_EQ(grid.Selection().Bottom, 4);
    EXPECT_EQ(shownRows(), 3);
    QTest::keyClick(form->StringGrid1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Clipboard().count(QStringLiteral("\r\n")), 3);
}

TEST_F(ClipboardCommandsTest, ClipboardHeldElsewhereChangesNothing) {
    env.clipboard.held = true;
    form->SetStatusText(QStringLiteral("kept"));
    form->ACopyAllExecute();
    form->ACopyCtrlCExecute();
    EXPECT_EQ(Clipboard(), QStringLiteral("before"));
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("kept"));
    ASSERT_EQ(env.messageBoxes.shown.size(), 2u);
    EXPECT_EQ(env.messageBoxes.shown[0].text, QStringLiteral("Cannot open clipboard"));
}

}  // namespace
