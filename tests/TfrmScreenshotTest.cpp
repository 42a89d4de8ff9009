#include "ui/TfrmScreenshot.h"

#include "app/AppPaths.h"
#include "app/Settings.h"
#include "platform/MessageBox.h"
#include "protocol/UsbLinkState.h"
#include "support/FakeEnvironment.h"
#include "support/PumpUntil.h"
#include "support/ReportsTo.h"
#include "support/SimulatedUsbMeter.h"
#include "ui/TForm1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

const QColor Ink(31, 44, 37);           // PenColor 2436127
const QColor Background(225, 234, 234); // BackgroundColor 15395553

// The main window in USB mode over the simulated meter, resting after its
// first read, and the screen windows its command opens.
class TfrmScreenshotTest : public ::testing::Test {
protected:
    TfrmScreenshotTest() { env.WriteSettings("[Config]\nCOMPortNumber=USB\n"); }
    ~TfrmScreenshotTest() override { form.reset(); }

    // The meter's screen from these bytes.
    void SetScreen(const QByteArray& bytes) {
        const QString path = env.folder.filePath(QStringLiteral("screen%1.bin").arg(++screens));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        meter.Set("VELSIM_SCREEN", path.toUtf8().constData());
    }
    void Start(const QByteArray& settings = {}) {
        if (!settings.isEmpty())
            env.WriteSettings("[Config]\nCOMPortNumber=USB\n" + settings);
        form = std::make_unique<TForm1>(env.Get());
        ASSERT_TRUE(PumpUntil([] { return LinkState.load() == LinkStates::Idle; }));
    }
    // The command, as the user gives it; returns once the first picture is shown.
    TfrmScreenshot* Open() {
        form->AScreenshot->trigger();
        return form->frmScreenshot;
    }
    QString PictureFile() const { return DataDir + QStringLiteral("/Screenshot.bmp"); }
    static QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

    SimulatedUsbMeter meter;
    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
    int screens = 0;
};

TEST_F(TfrmScreenshotTest, ShowsSavesAndCopiesTheMetersScreenInItsFrame) {
    QByteArray image(ScreenImageSize, '\0');
    image[0] = static_cast<char>(0x80);
    SetScreen(image);
    Start();
    TfrmScreenshot* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Экран прибора"));

    const QImage picture = Rgb(window->Picture());
    ASSERT_EQ(picture.size(), QSize(324, 244));
    EXPECT_EQ(picture.pixelColor(2, 2), Ink) << "the meter's top-left dot";
    for (int column = 3; column <= 321; ++column)
        ASSERT_EQ(picture.pixelColor(column, 2), Background) << column;
    for (const QPoint frame : {QPoint(0, 0), QPoint(323, 0), QPoint(0, 243), QPoint(323, 243), QPoint(161, 0)})
        EXPECT_EQ(picture.pixelColor(frame), Ink);
    EXPECT_EQ(picture.pixelColor(1, 1), Background) << "the gap inside the frame";

    const QImage saved(PictureFile(), "BMP");
    EXPECT_EQ(Rgb(saved), picture);
    EXPECT_EQ(Rgb(QGuiApplication::clipboard()->image()), picture);
    EXPECT_EQ(meter.Taken("screen"), 1);
}

TEST_F(TfrmScreenshotTest, TakesNineThousandSixHundredBytesAndKeepsWhatAShortAnswerDoesNotReach) {
    SetScreen(QByteArray(12000, static_cast<char>(0xFF)));
    Start();
    TfrmScreenshot* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Rgb(window->Picture()).pixelColor(321, 241), Ink) << "all 9600 bytes read";

    // 100 bytes: two rows and a half.
    SetScreen(QByteArray(100, '\0'));
    QTest::mouseClick(window->DeviceScreenShotImage, Qt::LeftButton);
    const QImage picture = Rgb(window->Picture());
    EXPECT_EQ(picture.pixelColor(2, 2), Background);
    EXPECT_EQ(picture.pixelColor(321, 3), Background);
    EXPECT_EQ(picture.pixelColor(161, 4), Background);
    EXPECT_EQ(picture.pixelColor(162, 4), Ink) << "byte 100 on kept its ink";
    EXPECT_EQ(picture.pixelColor(2, 5), Ink);
    EXPECT_EQ(meter.Taken("screen"), 2);
}

TEST_F(TfrmScreenshotTest, TakesItsColoursAndPlaceFromTheSettings) {
    Start("[Screenshot]\nPenColor=abc\nLeft=100000\nTop=100000\n");
    TfrmScreenshot* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->PenColor(), 16711680) << "pure blue";
    EXPECT_EQ(window->BackgroundColor(), 15395553);
    EXPECT_EQ(Rgb(window->Picture()).pixelColor(0, 0), QColor(0, 0, 255));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(window->frameGeometry().left(), screen.width() - window->frameGeometry().width());
    EXPECT_EQ(window->frameGeometry().top(), screen.height() - window->frameGeometry().height() - 25);
    EXPECT_EQ(window->frameGeometry().height(), 340);
    EXPECT_EQ(window->width(), 341);
}

TEST_F(TfrmScreenshotTest, AColourDialogRedrawsSavesCopiesAndStoresEvenWhenCancelled) {
    Start();
    TfrmScreenshot* window = Open();
    ASSERT_NE(window, nullptr);
    env.colorDialogs.answers = {0x0000FF, std::nullopt};
    window->BtnPenColor->click();
    EXPECT_EQ(env.colorDialogs.presets, (std::vector<TColor>{2436127}));
    EXPECT_EQ(Rgb(window->Picture()).pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(ReadSetting(QStringLiteral("Screenshot"), QStringLiteral("PenColor"), {}, 19), QStringLiteral("255"));

    QFile::remove(PictureFile());
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    window->BtnBackgroundColor->click();
    EXPECT_EQ(window->BackgroundColor(), 15395553);
    EXPECT_TRUE(QFile::exists(PictureFile())) << "saved again";
    EXPECT_EQ(Rgb(QGuiApplication::clipboard()->image()), Rgb(window->Picture()));
    EXPECT_EQ(ReadSetting(QStringLiteral("Screenshot"), QStringLiteral("BackgroundColor"), {}, 19),
              QStringLiteral("15395553"));
}

TEST_F(TfrmScreenshotTest, APictureThatCannotBeSavedIsReportedAndNotCopied) {
    const ReportsTo reports(env.messageBoxes);
    ASSERT_TRUE(reports.Installed());
    Start();
    ASSERT_TRUE(QDir().mkpath(PictureFile()));  // a folder where the file would go
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    TfrmScreenshot* window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(env.messageBoxes.shown.size(), 1u);
    EXPECT_EQ(env.messageBoxes.shown[0].text, QStringLiteral("Cannot create file ") + PictureFile());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST_F(TfrmScreenshotTest, WithoutAMeterClosingGivesUpAfterASecondAndWritesNothingAfterwards) {
    meter.Set("VELSIM_ABSENT", "1");
    form = std::make_unique<TForm1>(env.Get());
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer closing;
    qint64 closeTook = 0;
    bool clickedAgain = false;
    QTimer::singleShot(300, [&] {
        EXPECT_EQ(LinkState.load(), LinkStates::ScreenImage) << "still waiting";
        // A click while the request waits asks nothing new: both waits end together.
        QTimer::singleShot(50, [&] {
            closing.start();
            form->frmScreenshot->close();
            closeTook = closing.elapsed();
        });
        QTest::mouseClick(form->frmScreenshot->DeviceScreenShotImage, Qt::LeftButton);
        clickedAgain = true;
    });
    QPointer<TfrmScreenshot> window = Open();
    EXPECT_TRUE(clickedAgain);
    EXPECT_GE(closeTook, 900);
    EXPECT_EQ(LinkState.load(), LinkStates::Idle);
    EXPECT_GT(ticks, 20) << "the windows stayed responsive";
    EXPECT_EQ(meter.Taken("screen"), 0);
    // The empty, framed picture, drawn once more before the window went.
    const QImage saved(PictureFile(), "BMP");
    EXPECT_EQ(Rgb(saved).pixelColor(0, 0), Ink);
    EXPECT_EQ(Rgb(saved).pixelColor(2, 2), Background);

    ASSERT_TRUE(PumpUntil([&] { return window.isNull(); }));
    QFile::remove(PictureFile());
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(PictureFile()));
    EXPECT_EQ(ReadSetting(QStringLiteral("Screenshot"), QStringLiteral("Left"), {}, 9).isEmpty(), false);
}

TEST_F(TfrmScreenshotTest, AClickWhileARequestWaitsMakesNoSecondRequest) {
    Start();
    meter.Set("VELSIM_LATENCY", "300");
    QTimer::singleShot(100, [&] { QTest::mouseClick(form->frmScreenshot->DeviceScreenShotImage, Qt::LeftButton); });
    TfrmScreenshot* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(meter.Taken("screen"), 1);
    window->close();
}

}  // namespace
