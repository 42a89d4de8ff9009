#include "ui/TForm1.h"

#include "archive/Archive.h"
#include "report/ReportPreview.h"
#include "support/FakeEnvironment.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <memory>

namespace {

class PrintCommandTest : public ::testing::Test {
protected:
    ~PrintCommandTest() override {
        form.reset();
        Archive.Count = 0;
    }

    // Print, with whatever preview opens closed at once; its page count.
    int Print() {
        int pages = -1;
        QTimer::singleShot(0, [&] {
            if (auto* preview = qobject_cast<TReportPreview*>(QApplication::activeModalWidget())) {
                pages = static_cast<int>(preview->Report().pages.size());
                preview->reject();
            }
        });
        form->APrint->trigger();
        QApplication::processEvents();
        return pages;
    }

    FakeEnvironment env;
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>(env.Get());
};

TEST_F(PrintCommandTest, AnEmptyArchivePrintsNothing) {
    Archive.Count = 0;
    EXPECT_EQ(Print(), -1);
    EXPECT_TRUE(env.messageBoxes.shown.empty());
}

TEST_F(PrintCommandTest, TheTableAsShownGoesIntoThePreview) {
    for (int i = 0; i < 60; ++i)
        Archive.Records[i] = MakeRecord(static_cast<std::uint16_t>(i + 1), 10, 20, 30, 1, 2, 24, 2345.5f, 1, 120.0f);
    Archive.Count = 60;
    form->ShowArchive();
    EXPECT_EQ(Print(), 2) << "52 lines on page 1, 8 on page 2";
}

}  // namespace
