#include "report/ReportPreview.h"

#include "archive/StringGrid.h"
#include "output/MeasurementReport.h"
#include "support/FakeEnvironment.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QMenu>
#include <QProgressDialog>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

// The preview of a full archive's report.
class ReportPreviewTest : public ::testing::Test {
protected:
    QAction* Action(const char* name) const { return preview.ToolBar->findChild<QAction*>(QLatin1String(name)); }

    FakeEnvironment env;
    std::unique_ptr<TStringGrid> grid = MeasurementGrid(2677);
    TReportPreview preview{PrepareMeasurementReport(*grid),
                           [this](const PageSetup& page) { return PrepareMeasurementReport(*grid, page); },
                           env.fileDialogs, env.messageBoxes};
};

TEST_F(ReportPreviewTest, OpensAtTheFirstPageAtFullSize) {
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Предварительный просмотр"));
    EXPECT_TRUE(preview.isModal());
    EXPECT_TRUE(preview.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(preview.PageIndex(), 0);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.0);
    EXPECT_EQ(preview.PageNumber->value(), 1);
    EXPECT_EQ(preview.PageNumber->maximum(), 51);
}

TEST_F(ReportPreviewTest, GoesFromPageToPage) {
    struct Step {
        const char* action;
        int page;
    };
    const Step steps[] = {{"NextPage", 1}, {"NextPage", 2}, {"PreviousPage", 1}, {"LastPage", 50},
                          {"NextPage", 50}, {"FirstPage", 0}, {"PreviousPage", 0}};
    for (const Step& step : steps) {
        Action(step.action)->trigger();
        EXPECT_EQ(preview.PageIndex(), step.page) << step.action;
        EXPECT_EQ(preview.PageNumber->value(), step.page + 1);
    }
    preview.PageNumber->setValue(17);
    EXPECT_EQ(preview.PageIndex(), 16) << "the page number box";
}

TEST_F(ReportPreviewTest, ZoomsInOutAndBack) {
    Action("ZoomIn")->trigger();
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.25);
    Action("ZoomOut")->trigger();
    Action("ZoomOut")->trigger();
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.8);
    Action("Zoom100")->trigger();
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.0);
    preview.resize(800, 600);
    Action("WholePage")->trigger();
    EXPECT_LT(preview.Zoom(), 1.0);
}

TEST_F(ReportPreviewTest, FindShowsThePageOfTheTextAndGoesOn) {
    preview.FindText->setText(QStringLiteral("1800"));
    Action("FindNext")->trigger();
    ASSERT_TRUE(preview.Found());
    EXPECT_EQ(preview.PageIndex(), 16);
    EXPECT_EQ(preview.Found()->page, 16);

    preview.FindText->setText(QStringLiteral("асфальт"));
    EXPECT_TRUE(preview.FindNext(true));
    preview.MatchCase->setChecked(true);
    EXPECT_FALSE(preview.FindNext(true)) << "no lower-case match";
}

TEST_F(ReportPreviewTest, LandscapeLaysTheReportOutAgainWithFewerRowsAPage) {
    PageSetup landscape = MeasurementTemplate().page;
    landscape.landscape = true;
    std::swap(landscape.widthMm, landscape.heightMm);
    preview.ApplyPageSetup(landscape);
    EXPECT_GT(preview.Report().pages.size(), 51u);
    EXPECT_TRUE(preview.Report().page.landscape);
    EXPECT_EQ(preview.PageNumber->maximum(), static_cast<int>(preview.Report().pages.size()));
}

TEST_F(ReportPreviewTest, SavesOpensAndExportsThroughTheFileDialogs) {
    const QString saved = env.folder.filePath(QStringLiteral("report.velrep"));
    const QString pdf = env.folder.filePath(QStringLiteral("report.pdf"));
    const QString text = env.folder.filePath(QStringLiteral("report.txt"));
    env.fileDialogs.answers = {saved, saved, pdf, text};
    Action("Save")->trigger();
    ASSERT_TRUE(QFile::exists(saved));

    PageSetup landscape = MeasurementTemplate().page;
    landscape.landscape = true;
    std::swap(landscape.widthMm, landscape.heightMm);
    preview.ApplyPageSetup(landscape);
    ASSERT_NE(preview.Report().pages.size(), 51u);
    Action("Open")->trigger();
    EXPECT_EQ(preview.Report().pages.size(), 51u) << "the saved report, as it was";
    EXPECT_FALSE(preview.Report().page.landscape);

    Action("ExportPdf")->trigger();
    EXPECT_TRUE(QFile::exists(pdf));
    Action("ExportText")->trigger();
    EXPECT_TRUE(QFile::exists(text));
    EXPECT_TRUE(env.messageBoxes.shown.empty());
}

TEST_F(ReportPreviewTest, AFileThatIsNoReportIsRefusedWithAMessage) {
    const QString other = env.folder.filePath(QStringLiteral("other.velrep"));
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a report");
    file.close();
    env.fileDialogs.answers = {other};
    Action("Open")->trigger();
    ASSERT_EQ(env.messageBoxes.shown.size(), 1u);
    EXPECT_TRUE(env.messageBoxes.shown[0].text.contains(QStringLiteral("не является отчётом")));
    EXPECT_EQ(preview.Report().pages.size(), 51u) << "the report shown stays";
}

TEST_F(ReportPreviewTest, TheExportMenuOffersEveryFormatAndTellsWhyAFileWasNotWritten) {
    auto* button = preview.ToolBar->findChild<QToolButton*>(QStringLiteral("Export"));
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->menu(), nullptr);
    QStringList offered;
    for (QAction* action : button->menu()->actions())
        offered << action->objectName();
    EXPECT_EQ(offered, (QStringList{"ExportText", "ExportXlsx", "ExportPdf", "ExportHtml", "ExportRtf", "ExportOds",
                                    "ExportOdt"}));

    const QString nowhere = env.folder.filePath(QStringLiteral("missing/report.txt"));
    env.fileDialogs.answers = {nowhere};
    Action("ExportText")->trigger();
    ASSERT_EQ(env.messageBoxes.shown.size(), 1u);
    EXPECT_EQ(env.messageBoxes.shown[0].text,
              QStringLiteral("Не удаётся записать файл %1: папка %2 не существует.")
                  .arg(nowhere, env.folder.filePath(QStringLiteral("missing"))));
    EXPECT_EQ(preview.findChild<QProgressDialog*>(), nullptr) << "the progress window is gone";
}

// What a format saw of the preview's progress window while it wrote.
struct SeenProgress {
    const QWidget* preview = nullptr;
    int maximum = -1;
    int value = -1;
};
SeenProgress seen;

QString WriteWatchingProgress(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    // Looked at before the last page, which completes and closes it.
    const int pages = static_cast<int>(report.pages.size());
    for (int page = 1; page < pages; ++page)
        progress(page, pages);
    if (const auto* dialog = seen.preview->findChild<QProgressDialog*>()) {
        seen.maximum = dialog->maximum();
        seen.value = dialog->value();
    }
    progress(pages, pages);
    out.write("x");
    return {};
}

TEST_F(ReportPreviewTest, ALongExportShowsItsProgressPageByPage) {
    seen = {&preview};
    const ExportFormat watching{QStringLiteral("x"), QStringLiteral("ExportX"), QStringLiteral("Экспорт"),
                                QStringLiteral("X (*.x)|*.x"), WriteWatchingProgress};
    env.fileDialogs.answers = {env.folder.filePath(QStringLiteral("report.x"))};
    preview.Export(watching);
    EXPECT_EQ(seen.maximum, 51);
    EXPECT_EQ(seen.value, 50);
    EXPECT_EQ(preview.findChild<QProgressDialog*>(), nullptr);
    EXPECT_TRUE(QFile::exists(env.folder.filePath(QStringLiteral("report.x"))));
}

}  // namespace
