#include "ui/TfrmScreenshot.h"

#include "app/AppPaths.h"
#include "app/ScreenshotPlacement.h"
#include "app/Settings.h"
#include "platform/Ticks.h"
#include "platform/WholeFileWrite.h"
#include "platform/widgets/Clipboard.h"
#include "platform/widgets/ColorDialogs.h"
#include "ui/TApplication.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <functional>
#include <stdexcept>

namespace {

constexpr int ClientWidth = 341;
constexpr int WindowHeight = 340;
// Closing waits this many times 10 ms for a pending picture.
constexpr int CloseWaits = 99;
constexpr std::uint32_t CloseWaitStep = 10;

const QString Section = QStringLiteral("Screenshot");

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, 272, 75, 25);
    return button;
}

// A handler's errors go to the application's report, as a command's do.
void Guarded(const std::function<void()>& work) {
    TApplication::RunGuarded(work);
}

}  // namespace

TfrmScreenshot::TfrmScreenshot(QWidget* mainWindow, ColorDialogs& colours, Clipboard& clipboard)
    : QDialog(mainWindow), colours_(colours), clipboard_(clipboard) {
    setObjectName(QStringLiteral("frmScreenshot"));
    setWindowTitle(QStringLiteral("Экран прибора"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, ScreenDotsWidth, ScreenDotsHeight);
    DeviceScreenShotImage = new QLabel(this);
    DeviceScreenShotImage->setObjectName(QStringLiteral("DeviceScreenShotImage"));
    DeviceScreenShotImage->setGeometry(8, 8, ScreenDotsWidth, ScreenDotsHeight);
    DeviceScreenShotImage->installEventFilter(this);

    BtnPenColor = MakeButton(this, "BtnPenColor", "Цвет чернил", 12);
    BtnBackgroundColor = MakeButton(this, "BtnBackgroundColor", "Цвет фона", 100);
    BtnExit = MakeButton(this, "BtnExit", "ОК", 252);
    connect(BtnPenColor, &QPushButton::clicked, this, [this] { Guarded([this] { BtnPenColorClick(); }); });
    connect(BtnBackgroundColor, &QPushButton::clicked, this,
            [this] { Guarded([this] { BtnBackgroundColorClick(); }); });
    connect(BtnExit, &QPushButton::clicked, this, [this] { BtnCloseClick(); });

    FormCreate(mainWindow);
}

void TfrmScreenshot::FormCreate(QWidget* mainWindow) {
    // The window's outer height is 340; the frame, once the window system
    // has one, comes off the inside.
    winId();
    const int frameHeight = frameGeometry().height() - geometry().height();
    setFixedSize(ClientWidth, WindowHeight - frameHeight);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    const QRect main = mainWindow ? mainWindow->frameGeometry() : QRect();
    const QSize outer = frameGeometry().size();
    const int centredLeft = main.left() + (main.width() - outer.width()) / 2;
    const int centredTop = main.top() + (main.height() - outer.height()) / 2;
    const int left = ScreenshotLeft(ReadSetting(Section, QStringLiteral("Left"), QString::number(centredLeft), 9),
                                    centredLeft, screenSize.width(), outer.width());
    const int top = ScreenshotTop(ReadSetting(Section, QStringLiteral("Top"), QString::number(centredTop), 9),
                                  centredTop, screenSize.height(), outer.height());
    move(left, top);

    penColor_ = ScreenshotColour(ReadSetting(Section, QStringLiteral("PenColor"), QStringLiteral("2436127"), 19),
                                 16711680);
    backgroundColor_ = ScreenshotColour(
        ReadSetting(Section, QStringLiteral("BackgroundColor"), QStringLiteral("15395553"), 19), 16777215);
    show();
}

void TfrmScreenshot::BtnGetPictureClick() {
    if (closed_)
        return;
    ScreenBuffer.Store(handedOver_);
    LinkState.store(LinkStates::ScreenImage, std::memory_order_release);
    ++waiting_;
    while (LinkState.load(std::memory_order_acquire) == LinkStates::ScreenImage) {
        QCoreApplication::processEvents();
        Ticks::Sleep(1);
    }
    --waiting_;
    // The worker wrote the buffer before it left the request; a request the
    // window gave up may still be being written, so it is not read.
    if (!abandoned_)
        received_ = *handedOver_;
    UnpackScreenImage(received_, dots_);
    struct DeleteAfter {
        TfrmScreenshot& window;
        ~DeleteAfter() { window.DeleteWhenIdle(); }
    } deleteAfter{*this};
    Draw();
}

void TfrmScreenshot::Draw() {
    picture_ = ScreenPicture(dots_, penColor_, backgroundColor_);
    DeviceScreenShotImage->setPixmap(QPixmap::fromImage(picture_));

    QByteArray bytes;
    QBuffer file(&bytes);
    file.open(QIODevice::WriteOnly);
    picture_.save(&file, "BMP");
    const QString path = DataDir + QStringLiteral("/Screenshot.bmp");
    if (WriteWholeFile(path, bytes) != FileWriteResult::Written)
        throw std::runtime_error("Cannot create file " + path.toStdString());
    clipboard_.SetImage(picture_);
}

void TfrmScreenshot::BtnPenColorClick() {
    ChooseColour(penColor_, "PenColor");
}

void TfrmScreenshot::BtnBackgroundColorClick() {
    ChooseColour(backgroundColor_, "BackgroundColor");
}

void TfrmScreenshot::ChooseColour(TColor& colour, const char* key) {
    // A cancelled dialog still redraws, saves, copies and stores the colour.
    colours_.Execute(colour);
    Draw();
    WriteSetting(Section, QLatin1String(key), QString::number(colour));
}

void TfrmScreenshot::BtnCloseClick() {
    close();
}

void TfrmScreenshot::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    WriteSetting(Section, QStringLiteral("Left"), QString::number(x()));
    WriteSetting(Section, QStringLiteral("Top"), QString::number(y()));
    BtnPenColor->setEnabled(false);
    BtnBackgroundColor->setEnabled(false);
    for (int i = 0; i < CloseWaits && LinkState.load(std::memory_order_acquire) == LinkStates::ScreenImage; ++i) {
        QCoreApplication::processEvents();
        Ticks::Sleep(CloseWaitStep);
    }
    std::uint8_t pending = LinkStates::ScreenImage;
    if (LinkState.compare_exchange_strong(pending, LinkStates::Idle, std::memory_order_acq_rel))
        abandoned_ = true;
    event->accept();
    DeleteWhenIdle();
}

void TfrmScreenshot::DeleteWhenIdle() {
    if (closed_ && waiting_ == 0)
        deleteLater();
}

bool TfrmScreenshot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DeviceScreenShotImage && event->type() == QEvent::MouseButtonPress) {
        Guarded([this] { BtnGetPictureClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
