#include "ui/TfrmConfig.h"

#include "app/Settings.h"
#include "support/FakeEnvironment.h"
#include "transport/ComPortOpening.h"
#include "transport/LibUsbWin32.h"
#include "transport/TComm.h"
#include "ui/TForm1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

QString StoredPort() {
    return ReadSetting(QStringLiteral("Config"), QStringLiteral("COMPortNumber"), {}, 9);
}

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

// The dialog over the test environment's fake serial devices: COM1, COM10
// and COM3 present, each with a meter attached.
class TfrmConfigTest : public ::testing::Test {
protected:
    TfrmConfigTest() {
        env.comPorts.names = {"COM1", "COM10", "COM3"};
        for (const char* port : {"\\\\.\\COM3", "\\\\.\\COM10"})
            env.commApi.AddDevice(QString::fromLatin1(port));
        form = std::make_unique<TForm1>(env.Get());
    }

    std::unique_ptr<TfrmConfig> Dialog(LibUsbWin32& usb) {
        return std::make_unique<TfrmConfig>(form->ComPorts(), usb, form.get());
    }
    // As the user picks an item with one key: the box stands beside it
    // (unseen by the dialog), and the arrow key moves onto it.
    void Choose(TfrmConfig& dialog, const QString& item) {
        QComboBox& box = *dialog.ComboBoxCOMPortNum;
        const int target = box.findText(item);
        ASSERT_GE(target, 0) << item.toStdString();
        const bool fromBelow = target + 1 < box.count();
        box.setCurrentIndex(fromBelow ? target + 1 : target - 1);
        QTest::keyClick(&box, fromBelow ? Qt::Key_Up : Qt::Key_Down);
        ASSERT_EQ(box.currentIndex(), target);
    }

    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
    LibUsbWin32 noLibrary{QStringLiteral("/nonexistent/libusb-0.1.so.4")};
    LibUsbWin32 fakeLibrary{QStringLiteral(VEL_FAKE_LIBUSB)};
};

TEST_F(TfrmConfigTest, LaysOutItsControls) {
    const auto dialog = Dialog(noLibrary);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Параметры"));
    EXPECT_EQ(dialog->size(), QSize(129, 174));
    EXPECT_EQ(dialog->GroupBoxCOM->geometry(), QRect(8, 16, 113, 97));
    EXPECT_EQ(dialog->GroupBoxCOM->title(), QStringLiteral("Номер COM-порта"));
    EXPECT_EQ(dialog->ComboBoxCOMPortNum->parentWidget(), dialog->GroupBoxCOM);
    EXPECT_EQ(dialog->ComboBoxCOMPortNum->pos(), QPoint(24, 32));
    EXPECT_EQ(dialog->ComboBoxCOMPortNum->width(), 65);
    EXPECT_EQ(dialog->LabelCOMPortHelp->pos(), QPoint(8, 64));
    EXPECT_EQ(dialog->LabelCOMPortHelp->text(), QStringLiteral("COM1 - OK")) << "no test runs while it opens";
    EXPECT_EQ(dialog->btnOK->geometry(), QRect(16, 128, 97, 33));
    EXPECT_EQ(dialog->btnOK->text(), QStringLiteral("OK"));
}

TEST_F(TfrmConfigTest, OffersUsbAndThePortsPresentAndSelectsTheStoredChoice) {
    struct Case {
        const char* stored;  // nullptr: none stored
        int selected;
        const char* storedAfter;
    };
    const Case cases[] = {
        {"USB", 0, "USB"},  {"3", 2, "3"},   {"10", 3, "10"},
        {"4", 0, "4"},      // not present: USB selected, the setting kept
        {"abc", 1, "abc"},  // does not convert: COM1
        {"usb", 1, "usb"},  // only an upper-case U means USB
        {nullptr, 0, "USB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(none)");
        if (c.stored)
            WriteSetting(QStringLiteral("Config"), QStringLiteral("COMPortNumber"), QString::fromLatin1(c.stored));
        else
            WriteSetting(QStringLiteral("Config"), QStringLiteral("COMPortNumber"), {});
        const bool wasOpen = form->Comm1->Enabled();
        const auto dialog = Dialog(noLibrary);
        EXPECT_EQ(Items(*dialog->ComboBoxCOMPortNum), (QStringList{"USB", "COM1", "COM3", "COM10"}));
        EXPECT_EQ(dialog->ComboBoxCOMPortNum->currentIndex(), c.selected);
        EXPECT_EQ(StoredPort(), QString::fromLatin1(c.storedAfter));
        EXPECT_EQ(form->Comm1->Enabled(), wasOpen) << "nothing tested while it opens";
    }
}

TEST_F(TfrmConfigTest, EachChoiceIsStoredTestedAndTold) {
    const auto dialog = Dialog(fakeLibrary);
    struct Case {
        const char* name;
        const char* item;
        std::function<void()> arrange;
        const char* label;
        int left;
        const char* stored;
        bool open;
    };
    const Case cases[] = {
        {"meter attached", "COM3", [] {}, "COM3 - OK", 28, "3", true},
        {"no meter", "COM10", [&] { env.commApi.LoopRtsToCts(false); }, "COM10-не подключен", 5, "10", true},
        {"held by another program", "COM3",
         [&] {
             env.commApi.LoopRtsToCts(true);
             env.commApi.Fail("CreateFile", 5);
         },
         "COM3-занят", 24, "3", false},
        {"gone since the dialog opened", "COM10", [&] { env.comPorts.names = {"COM1", "COM3"}; },
         "COM10-не существует", 8, "10", false},
        {"USB with the library", "USB", [] {}, "USB - OK", 8, "USB", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        Choose(*dialog, QString::fromLatin1(c.item));
        EXPECT_EQ(dialog->LabelCOMPortHelp->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(dialog->LabelCOMPortHelp->x(), c.left);
        EXPECT_EQ(StoredPort(), QString::fromLatin1(c.stored));
        EXPECT_EQ(form->Comm1->Enabled(), c.open);
        EXPECT_TRUE(dialog->ComboBoxCOMPortNum->isEnabled());
    }
    EXPECT_TRUE(env.messageBoxes.shown.empty()) << "the dialog asks nothing";
}

TEST_F(TfrmConfigTest, UsbWithoutTheLibraryClosesTheComPortAndSaysSo) {
    ASSERT_TRUE(form->Comm1->Enabled());
    const auto dialog = Dialog(noLibrary);
    Choose(*dialog, QStringLiteral("COM3"));
    Choose(*dialog, QStringLiteral("USB"));
    EXPECT_EQ(dialog->LabelCOMPortHelp->text(), QStringLiteral("USB-ош. драйвера"));
    EXPECT_EQ(dialog->LabelCOMPortHelp->x(), 28) << "the left edge stays";
    EXPECT_EQ(StoredPort(), QStringLiteral("USB"));
    EXPECT_FALSE(form->Comm1->Enabled());
}

TEST_F(TfrmConfigTest, TheCommandShowsTheDialogModally) {
    QString shown;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<TfrmConfig*>(modal)) {
            shown = dialog->windowTitle();
            dialog->btnOK->click();
        }
    });
    form->ATune->trigger();
    EXPECT_EQ(shown, QStringLiteral("Параметры"));
    EXPECT_EQ(form->findChildren<TfrmConfig*>().size(), 0) << "gone once closed";
}

}  // namespace
