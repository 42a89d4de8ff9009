// An exception that leaves a command reaches the user as a message box, and
// the program goes on.

#include "ui/TApplication.h"

#include "support/FakeEnvironment.h"
#include "support/ReportsTo.h"
#include "ui/StatusBar.h"
#include "ui/TForm1.h"
#include "ui/TSpeedButton.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QTest>

#include <stdexcept>

namespace {

using namespace MessageBox;

// An event handler that is not a command and fails.
class ThrowingHandler : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("(Error: 5)");
        return QObject::event(e);
    }
};

TEST(TApplicationTest, ExceptionFromACommandIsShownAndTheProgramGoesOn) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ReportsTo reports(env.messageBoxes);
    ASSERT_TRUE(reports.Installed()) << "the window's tests run under the program's application object";

    // A command failing the way the serial port component reports a failure,
    // and another event handler failing so.
    env.clipboard.raises = "(Error: 5)";
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
    env.clipboard.raises.reset();
    ThrowingHandler handler;
    QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
    QTest::qWait(20);

    ASSERT_EQ(env.messageBoxes.shown.size(), 2u);
    for (const auto& box : env.messageBoxes.shown) {
        EXPECT_EQ(box.text, QStringLiteral("(Error: 5)"));
        EXPECT_EQ(box.caption, QStringLiteral("ВЕЛ. Плотномер асфальта"));
        EXPECT_EQ(box.type, MB_OK | MB_ICONERROR);
    }
    EXPECT_TRUE(env.processExit.codes.empty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.StatusBar1->PanelText(0).isEmpty());

    // The next command works as ever.
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form.StatusBar1->PanelText(0), QStringLiteral("Данные скопированы в буфер обмена."));
    EXPECT_EQ(env.messageBoxes.shown.size(), 2u);
}

}  // namespace
