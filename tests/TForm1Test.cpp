#include "ui/TForm1.h"

#include "app/AppPaths.h"
#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "platform/Profile.h"
#include "platform/Ticks.h"
#include "support/FakeEnvironment.h"
#include "ui/StatusBar.h"
#include "ui/StringGridView.h"
#include "ui/TShape.h"
#include "ui/TSpeedButton.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <memory>

namespace {

class TForm1Test : public ::testing::Test {
protected:
    void TearDown() override { Archive.Count = 0; }

    std::unique_ptr<TForm1> Start() { return std::make_unique<TForm1>(env.Get()); }
    QString Setting(const char* section, const char* key) const {
        return Profile::ReadString(env.SettingsFile(), QString::fromUtf8(section), QString::fromUtf8(key),
                                   QStringLiteral("<missing>"), 100);
    }
    static QSize Screen() { return QGuiApplication::primaryScreen()->geometry().size(); }
    // The window's outer size, frame included: what the settings keep.
    static QSize Outer(const TForm1& form) { return form.frameGeometry().size(); }
    // Gives the window an outer size, as a user dragging its frame would.
    static void ResizeOuter(TForm1& form, int width, int height) {
        const QSize frame = Outer(form) - form.size();
        form.resize(width - frame.width(), height - frame.height());
    }
    // [FormMain] Maximized, Left, Top, Width, Height as stored.
    QStringList StoredWindow() const {
        QStringList values;
        for (const char* key : {"Maximized", "Left", "Top", "Width", "Height"})
            values << Setting("FormMain", key);
        return values;
    }

    FakeEnvironment env;
};

TEST_F(TForm1Test, FirstStartWithoutSettingsFile) {
    auto form = Start();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ВЕЛ. Плотномер асфальта"));
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_EQ(Outer(*form), QSize(454, 307));
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(SettingsPath, env.SettingsFile());
    EXPECT_EQ(Setting("Config", "Uses"), QStringLiteral("1"));
    EXPECT_EQ(Setting("Config", "COMPortNumber"), QStringLiteral("1"));

    const TStringGrid& grid = form->Grid();
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.FixedRows(), 2);
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("1"));
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral(" № зап."));
    EXPECT_EQ(grid.Cells(2, 1), QStringLiteral("  кг/м^3"));
    EXPECT_EQ(grid.Cells(4, 0), QStringLiteral("Температура,"));
    EXPECT_EQ(form->StringGrid1->model()->rowCount(), 1);
    EXPECT_TRUE(env.messageBoxes.shown.empty());
}

TEST_F(TForm1Test, StoredSettingsAreRestoredAndRepaired) {
    env.WriteSettings("[Config]\nUses=41\nCOMPortNumber=100\n[FormMain]\nWidth=abc\nLeft=-10\nHeight=350\nTop=20\n");
    auto form = Start();
    EXPECT_EQ(Setting("Config", "Uses"), QStringLiteral("42"));
    EXPECT_EQ(Setting("Config", "COMPortNumber"), QStringLiteral("1"));
    EXPECT_EQ(form->pos(), QPoint(0, 20));
    EXPECT_EQ(Outer(*form), QSize(std::max(Screen().width() / 2, 454), 350));
}

TEST_F(TForm1Test, PortTextThatIsNoNumberStaysAsItWas) {
    for (const char* stored : {"usb", "USB"}) {
        env.WriteSettings(QByteArray("[Config]\nCOMPortNumber=") + stored + "\n");
        auto form = Start();
        EXPECT_EQ(Setting("Config", "COMPortNumber"), QString::fromUtf8(stored));
    }
}

TEST_F(TForm1Test, ExitAndCloseStoreTheSameWindowSettings) {
    for (bool byClosing : {false, true}) {
        auto form = Start();
        form->move(30, 40);
        ResizeOuter(*form, 600, 400);
        if (byClosing)
            form->close();
        else
            form->AExit->trigger();
        EXPECT_EQ(env.processExit.codes, std::vector<int>{0}) << byClosing;
        EXPECT_EQ(StoredWindow(), (QStringList{"0", "30", "40", "600", "400"})) << byClosing;
        env.processExit.codes.clear();
        QFile::remove(env.SettingsFile());
    }
}

TEST_F(TForm1Test, MaximizedWindowStoresItsNormalBounds) {
    env.WriteSettings("[FormMain]\nMaximized=1\nLeft=10\nTop=20\nWidth=500\nHeight=320\n");
    auto form = Start();
    EXPECT_TRUE(form->isMaximized());
    form->AExitExecute();
    EXPECT_EQ(StoredWindow(), (QStringList{"1", "10", "20", "500", "320"}));
}

TEST_F(TForm1Test, WindowMaximizedByTheUserStoresItsNormalBounds) {
    env.WriteSettings("[FormMain]\nLeft=30\nTop=40\nWidth=600\nHeight=400\n");
    auto form = Start();
    form->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(form->isMaximized());
    form->AExitExecute();
    EXPECT_EQ(StoredWindow(), (QStringList{"1", "30", "40", "600", "400"}));
}

TEST_F(TForm1Test, SettingsFileThatCannotBeWrittenDoesNotStopTheProgram) {
    QDir(env.folder.path()).mkdir(QStringLiteral("Vel.ini"));  // a folder where the file should be
    auto form = Start();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Grid().Cells(0, 2), QStringLiteral("1"));
    form->AExitExecute();
    EXPECT_EQ(env.processExit.codes, std::vector<int>{0});
}

TEST_F(TForm1Test, LayoutFollowsTheWindowSize) {
    auto form = Start();
    form->resize(700, 500);
    QCoreApplication::processEvents();
    const QRect grid = form->StringGrid1->geometry();
    EXPECT_EQ(grid.left(), 8);
    EXPECT_EQ(grid.top(), 44);
    EXPECT_EQ(grid.width(), form->centralWidget()->width() - 14);
    EXPECT_EQ(form->StatusBar1->PanelWidth(1), 140);
    EXPECT_EQ(form->StatusBar1->geometry().bottom(), form->centralWidget()->height() - 1);
    EXPECT_EQ(form->Panel6->geometry().right() + 1, form->Panel3->width());
    EXPECT_EQ(form->Panel5->geometry().right() + 1 + 20, form->Panel6->x());
    EXPECT_EQ(form->ProgressBar1->parentWidget(), form->StatusBar1);
    EXPECT_EQ(form->ProgressBar1->x(), form->StatusBar1->PanelWidth(0) + 3);
    EXPECT_EQ(form->ProgressBar1->y(), 5);
    EXPECT_EQ(form->PanelShapeLink->parentWidget(), form->StatusBar1);
    EXPECT_EQ(form->PanelShapeLink->y(), 3);
    EXPECT_EQ(form->StringGrid1->ColWidth(0), 45);

    form->resize(100, 100);  // the minimum size holds
    QCoreApplication::processEvents();
    EXPECT_EQ(Outer(*form), QSize(454, 307));
    for (int col = 0; col < 5; ++col)
        EXPECT_GE(form->StringGrid1->ColWidth(col), 45) << col;
}

// The stored size is the window's outer size: with the offscreen platform's
// 2-pixel frame an outer width of 499 leaves a client area 495 wide, a grid
// of 481 and the columns of that width.
TEST_F(TForm1Test, StoredSizeIsTheOuterSize) {
    env.WriteSettings("[FormMain]\nLeft=10\nTop=10\nWidth=499\nHeight=362\n");
    auto form = Start();
    ASSERT_EQ(Outer(*form), QSize(499, 362));
    const QSize frame = Outer(*form) - form->size();
    if (frame != QSize(4, 4))
        GTEST_SKIP() << "the window system gives a frame of " << frame.width() << " x " << frame.height();
    EXPECT_EQ(form->centralWidget()->width(), 495);
    EXPECT_EQ(form->StringGrid1->width(), 481);
    std::array<int, 5> columns{};
    for (int col = 0; col < 5; ++col)
        columns[col] = form->StringGrid1->ColWidth(col);
    EXPECT_EQ(columns, (std::array<int, 5>{45, 129, 94, 94, 94}));

    form->AExitExecute();
    EXPECT_EQ(StoredWindow(), (QStringList{"0", "10", "10", "499", "362"}));
}

TEST_F(TForm1Test, WindowWiderThanTheScreenIsCut) {
    auto form = Start();
    form->resize(Screen().width() + 300, 400);
    QCoreApplication::processEvents();
    form->FormResize();
    EXPECT_LE(form->frameGeometry().width(), Screen().width());
}

TEST_F(TForm1Test, CommandsAndMenus) {
    auto form = Start();
    auto captions = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("—") : a->text());
        return list;
    };
    EXPECT_EQ(form->N1->title(), QStringLiteral("&Файл"));
    EXPECT_EQ(captions(form->N1), (QStringList{"Скопировать таблицу в буфер обмена", "—", "Открыть...",
                                               "Сохранить...", "—", "&Печать отчета", "—", "&Выход"}));
    EXPECT_EQ(form->N2->title(), QStringLiteral("&Команды"));
    EXPECT_EQ(captions(form->N2), (QStringList{"&Считывание данных из прибора", "Считать вид экрана прибора", "—",
                                               "&Параметры..."}));
    EXPECT_EQ(form->N5->title(), QStringLiteral("&Помощь"));
    EXPECT_EQ(captions(form->N5), (QStringList{"Помощь (hlp)", "Помощь (chm)", "—", "&О программе"}));
    EXPECT_EQ(captions(form->PopupMenu1), QStringList{"Копировать"});

    // Every tool button shows its action's picture and nothing else.
    const QList<QToolButton*> buttons = form->Panel3->findChildren<QToolButton*>();
    EXPECT_EQ(buttons.size(), 8);
    for (QToolButton* b : buttons) {
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        EXPECT_FALSE(b->icon().pixmap(16, 16).isNull()) << b->objectName().toStdString();
        EXPECT_TRUE(b->toolTip().isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(b->size(), QSize(23, 22));
    }
    EXPECT_EQ(form->SpeedButtonExit->defaultAction(), form->AExit);
    EXPECT_EQ(form->SpeedButtonAbout->defaultAction(), form->AHelp);
    for (QAction* a : form->findChildren<QAction*>())
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    form->AChmHelp->trigger();
}

// Qt copies an action's text into its button's tooltip at every change of the
// action; the buttons stay without hint texts all the same.
TEST_F(TForm1Test, ToolButtonsKeepNoHintTextWhenTheirActionChanges) {
    auto form = Start();
    form->ARead->setEnabled(false);
    form->ARead->setEnabled(true);
    form->AExit->setIcon(form->AOpen->icon());
    for (TSpeedButton* b : {form->SpeedButtonRead, form->SpeedButtonExit})
        EXPECT_TRUE(b->toolTip().isEmpty()) << b->objectName().toStdString();
    EXPECT_TRUE(form->SpeedButtonRead->isEnabled());
}

TEST_F(TForm1Test, StatusOperations) {
    auto form = Start();
    form->SetStatusText(QStringLiteral("Чтение"));
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("Чтение"));
    EXPECT_TRUE(form->ProgressVisible());
    form->SetStatusAndHideProgress(QStringLiteral("Ошибка"));
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("Ошибка"));
    EXPECT_FALSE(form->ProgressVisible());
    EXPECT_EQ(form->StatusBar1->PanelText(1), QStringLiteral("Попытка соединения..."));
}

TEST_F(TForm1Test, LeavingRedPausesTwentyMilliseconds) {
    auto form = Start();
    form->SetLinkColour(clLime);
    form->SetLinkColour(clRed);
    EXPECT_EQ(form->ShapeLink->BrushColor(), clRed);
    const std::uint32_t start = Ticks::Now();
    form->SetLinkColour(clLime);
    EXPECT_GE(Ticks::Elapsed(start, Ticks::Now()), 20u);
    EXPECT_EQ(form->ShapeLink->BrushColor(), clLime);
    form->SetLinkColour(clBtnFace);
    EXPECT_EQ(form->ShapeLink->BrushColor(), clBtnFace);
}

TEST_F(TForm1Test, WaitPumpingKeepsTheWindowAlive) {
    auto form = Start();
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    const std::uint32_t start = Ticks::Now();
    form->WaitPumping(200);
    EXPECT_GE(Ticks::Elapsed(start, Ticks::Now()), 200u);
    EXPECT_TRUE(ran);
}

// The commands reach the archive files and the table through the window.
TEST_F(TForm1Test, OpenAndSaveRenderTheTable) {
    Archive.Count = 2;
    Archive.Records[0] = TMeasurement{};
    Archive.Records[0].Number = 11;
    Archive.Records[1] = TMeasurement{};
    Archive.Records[1].Number = 12;
    auto form = Start();
    const QString path = env.folder.filePath(QStringLiteral("two.Vel"));
    env.fileDialogs.answers = {path, path};
    form->SpeedButtonSave->click();
    EXPECT_EQ(QFileInfo(path).size(), 48);
    EXPECT_EQ(form->StatusBar1->PanelText(0), QStringLiteral("Сохранено на диск записей: 2"));

    Archive.Count = 0;
    form->SpeedButtonOpen->click();
    EXPECT_EQ(Archive.Count, 2);
    EXPECT_EQ(form->Grid().Cells(0, 1), QStringLiteral("(2)"));
    EXPECT_EQ(form->Grid().Cells(0, 2), QStringLiteral("12"));  // the last record first
    EXPECT_EQ(form->Grid().Cells(0, 3), QStringLiteral("11"));
    EXPECT_EQ(env.fileDialogs.shown.at(1).dialog.InitialDir, env.folder.path() + QLatin1Char('/'));
}

TEST_F(TForm1Test, DraggedColumnGetsTheHeaderOfItsNewPlace) {
    auto form = Start();
    Archive.Count = 1;
    Archive.Records[0] = TMeasurement{};
    Archive.Records[0].Number = 5;
    Archive.Records[0].Density = 2000.0f;
    form->ShowArchive();
    form->StringGrid1->horizontalHeader()->moveSection(1, 0);  // density column dragged before the date
    const TStringGrid& grid = form->Grid();
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("2000,00"));
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("Плотность,"));  // moved with its cells
    form->FormResize();
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("Дата, время"));  // rewritten by position
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("2000,00"));
}

}  // namespace
