#pragma once

#include "platform/TColor.h"
#include "protocol/UsbLinkState.h"
#include "ui/ScreenDots.h"

#include <QDialog>

#include <memory>

class Clipboard;
class ColorDialogs;
class QFrame;
class QLabel;
class QPushButton;

// The device screen window: asks the USB worker for the meter's display,
// shows it in the two colours the user chose, saves every picture it shows
// as Screenshot.bmp in the data folder and puts it on the clipboard.
//
// Not modal. A click on the picture asks again. The requests wait for the
// worker while serving window events; a window closed meanwhile gives up
// after about a second and is deleted once no request of its own is waiting
// any more. The buffer the worker fills is shared with it, so the worker
// never writes into a window that is gone.
class TfrmScreenshot : public QDialog {
    Q_OBJECT

public:
    // Placement and colours from the settings; shows the window. mainWindow
    // is the frame it opens centred over by default. The facilities outlive
    // the window.
    TfrmScreenshot(QWidget* mainWindow, ColorDialogs& colours, Clipboard& clipboard);

    // Asks the worker for a picture, waits for it, shows it.
    void BtnGetPictureClick();
    void BtnPenColorClick();
    void BtnBackgroundColorClick();
    void BtnCloseClick();

    QFrame* Bevel1 = nullptr;
    QLabel* DeviceScreenShotImage = nullptr;
    QPushButton* BtnPenColor = nullptr;
    QPushButton* BtnBackgroundColor = nullptr;
    QPushButton* BtnExit = nullptr;

    TColor PenColor() const { return penColor_; }
    TColor BackgroundColor() const { return backgroundColor_; }
    // The picture last drawn.
    const QImage& Picture() const { return picture_; }

    // Escape closes the window as its close box does.
    void reject() override { close(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(QWidget* mainWindow);
    // Paints the dots, saves the picture and copies it.
    void Draw();
    void ChooseColour(TColor& colour, const char* key);
    // Deletes the window once it has closed and no request waits in it.
    void DeleteWhenIdle();

    ColorDialogs& colours_;
    Clipboard& clipboard_;
    TColor penColor_ = 0;
    TColor backgroundColor_ = 0;
    // The buffer handed to the worker, and what the window last took from it.
    std::shared_ptr<TScreenImage> handedOver_ = std::make_shared<TScreenImage>();
    TScreenImage received_{};
    ScreenDots dots_ = FramedDots();
    QImage picture_;
    int waiting_ = 0;       // requests waiting now (a click may come during one)
    bool closed_ = false;
    bool abandoned_ = false;  // closing gave the pending request up
};
