#include "ui/TAboutBox.h"

#include "app/ApplicationTitle.h"
#include "app/BuildDate.h"
#include "support/FakeEnvironment.h"
#include "ui/TForm1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

class HelpAboutTest : public ::testing::Test {
protected:
    HelpAboutTest() {
        QDir(env.folder.path()).mkdir(QStringLiteral("Help"));
        QFile manual(env.folder.filePath(QStringLiteral("Help/index.html")));
        manual.open(QIODevice::WriteOnly);
        form = std::make_unique<TForm1>(env.Get());
    }

    // Runs the About command; look sees the box while it is shown, then it
    // is closed with OK. False when no box was shown.
    bool About(const std::function<void(TAboutBox&)>& look) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget())) {
                shown = true;
                look(*box);
                box->OKButton->click();
            }
        });
        form->AAbout->trigger();
        return shown;
    }

    QUrl Manual() const { return QUrl::fromLocalFile(env.folder.filePath(QStringLiteral("Help/index.html"))); }

    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
};

TEST_F(HelpAboutTest, TheAboutBoxShowsTitleVersionAndMakerAtTheirPlaces) {
    ASSERT_TRUE(About([&](TAboutBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе vel"));
        EXPECT_EQ(box.size(), QSize(306, 269));
        EXPECT_EQ(box.ProductName->text(), ApplicationTitle());
        EXPECT_EQ(box.Version->text(), VersionLine(QStringLiteral("2.1.4.18"), ProgramBuildDate()));
        EXPECT_TRUE(box.Version->text().startsWith(QStringLiteral("Версия 2.1.4.18 от ")));
        EXPECT_TRUE(box.Version->text().endsWith(QStringLiteral(" г.")));
        EXPECT_EQ(box.txtCopyright->text(), QStringLiteral("© ООО «Пример-Прибор», г. Примерск"));
        EXPECT_TRUE(box.OKButton->isDefault());

        const struct {
            QWidget* widget;
            QRect where;  // width or height 0: sized to its text
        } places[] = {
            {box.Panel1, {8, 8, 289, 201}},      {box.Image1, {8, 16, 74, 45}},     {box.ProductName, {88, 16, 0, 0}},
            {box.Version, {88, 40, 0, 0}},       {box.txtCopyright, {8, 72, 178, 17}}, {box.LabelFax, {8, 96, 0, 0}},
            {box.Comments, {72, 96, 96, 39}},    {box.LabelMulti, {168, 96, 0, 0}}, {box.LabelSite, {40, 144, 0, 0}},
            {box.LabelWWW, {162, 144, 0, 0}},    {box.LabelInfo, {40, 160, 0, 0}},  {box.LabelEMail, {162, 160, 0, 0}},
            {box.LabelTech, {40, 176, 0, 0}},    {box.Label1, {162, 176, 0, 0}},    {box.OKButton, {120, 228, 82, 25}},
        };
        for (const auto& place : places) {
            const QRect actual = place.widget->geometry();
            EXPECT_EQ(actual.topLeft(), place.where.topLeft()) << place.widget->objectName().toStdString();
            if (place.where.width() > 0) {
                EXPECT_EQ(actual.size(), place.where.size()) << place.widget->objectName().toStdString();
            }
        }
        QStringList texts;
        for (const QLabel* label : box.findChildren<QLabel*>())
            texts << label->text();
        for (const char* text : {"тел./факс.", "(многоканальный)", "Сайт:", "Общие вопросы:", "Техподдержка:"})
            EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(box.LabelWWW->text().contains(QStringLiteral("example.com"))) << "a maker clearly made up";
    }));
    EXPECT_TRUE(form->findChildren<TAboutBox*>().empty()) << "gone once closed";
}

TEST_F(HelpAboutTest, EachVersionEntryIsReadOnItsOwn) {
    const QString table = QStringLiteral("\\StringFileInfo\\041904E3\\");
    const struct {
        const char* missing;  // nullptr: a record without translation
        bool nameShown, versionShown, copyrightShown;
    } cases[] = {
        {"InternalName", false, true, true},
        {"FileVersion", true, false, true},
        {"LegalCopyright", true, true, false},
        {nullptr, false, false, false},
    };
    const VersionBlock whole = *CompiledVersionRecord().Read();
    for (const auto& c : cases) {
        VersionBlock block = whole;
        if (c.missing)
            block.strings.erase(table + QLatin1String(c.missing));
        else
            block.translation = QByteArray("\x19\x04\xE3", 3);  // too short to name a table
        env.versionRecords.block = block;
        ASSERT_TRUE(About([&](TAboutBox& box) {
            // What is not found stays as the box made it.
            EXPECT_EQ(box.windowTitle() == QStringLiteral("О программе vel"), c.nameShown) << c.missing;
            EXPECT_TRUE(box.windowTitle().startsWith(QStringLiteral("О программе "))) << c.missing;
            EXPECT_EQ(box.Version->text() != QStringLiteral("Version"), c.versionShown) << c.missing;
            EXPECT_EQ(box.txtCopyright->text().startsWith(QStringLiteral("©")), c.copyrightShown) << c.missing;
            EXPECT_EQ(box.ProductName->text(), ApplicationTitle());
        }));
    }

    env.versionRecords.block.reset();
    EXPECT_TRUE(About([](TAboutBox& box) { EXPECT_EQ(box.Version->text(), QStringLiteral("Version")); }))
        << "a record that cannot be read still shows the box";
    env.versionRecords.size = 0;
    EXPECT_FALSE(About([](TAboutBox&) {})) << "no record, no box";
}

TEST_F(HelpAboutTest, TheLinksOpenMailAndTheWebPageThroughTheDesktop) {
    ASSERT_TRUE(About([&](TAboutBox& box) {
        QTest::mouseClick(box.LabelEMail, Qt::LeftButton);
        QTest::mouseClick(box.Label1, Qt::LeftButton);
        QTest::mouseClick(box.LabelWWW, Qt::LeftButton);
        QTest::mouseClick(box.Image1, Qt::LeftButton);
        QTest::mouseClick(box.LabelFax, Qt::LeftButton);  // no link
    }));
    EXPECT_EQ(env.desktop.urls, (std::vector<QUrl>{QUrl(QStringLiteral("mailto:info@example.com")),
                                                   QUrl(QStringLiteral("mailto:support@example.com")),
                                                   QUrl(TAboutBox::MakerSite), QUrl(TAboutBox::MakerSite)}));
}

TEST_F(HelpAboutTest, HelpF1AndTheCompiledHelpOpenTheManual) {
    form->AHelp->trigger();
    ASSERT_EQ(env.desktop.urls.size(), 1u);
    EXPECT_EQ(env.desktop.urls[0], Manual());

    form->show();
    QApplication::setActiveWindow(form.get());
    QTest::keyClick(form.get(), Qt::Key_F1);
    ASSERT_EQ(env.desktop.urls.size(), 2u) << "F1";
    EXPECT_EQ(env.desktop.urls[1], Manual());

    ASSERT_TRUE(About([](TAboutBox& box) {
        QApplication::setActiveWindow(&box);
        QTest::keyClick(&box, Qt::Key_F1);
    }));
    ASSERT_EQ(env.desktop.urls.size(), 3u) << "F1 in the About box";

    // The compiled help needs both its file in the current folder and a
    // viewer; otherwise the manual stands in for it.
    QTemporaryDir current;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(current.path()));
    form->AChmHelp->trigger();
    env.desktop.installed[QStringLiteral("kchmviewer")] = QStringLiteral("/usr/bin/kchmviewer");
    form->AChmHelp->trigger();
    QDir(current.path()).mkdir(QStringLiteral("Help"));
    QFile(current.filePath(QStringLiteral("Help/VEL1Help.chm"))).open(QIODevice::WriteOnly);
    form->AChmHelp->trigger();
    QDir::setCurrent(previous);
    EXPECT_EQ(env.desktop.urls.size(), 5u);
    EXPECT_EQ(env.desktop.urls.back(), Manual());
    ASSERT_EQ(env.desktop.started.size(), 1u);
    EXPECT_EQ(env.desktop.started[0], (QStringList{QStringLiteral("/usr/bin/kchmviewer"),
                                                   QDir(current.path()).absoluteFilePath(QStringLiteral("Help/VEL1Help.chm"))}));
}

}  // namespace
