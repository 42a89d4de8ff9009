#pragma once

#include "app/MainView.h"
#include "app/WindowPlacement.h"
#include "ui/Environment.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class ArchiveCommands;
class ComPortOpening;
class SerialReadout;
class TComm;
class TfrmScreenshot;
class QAction;
class QFrame;
class QMenu;
class QProgressBar;
class TBMExecuteThread;
class TBMThread;
class TShape;
class TStatusBar;
class TSpeedButton;
class TStringGrid;
class TStringGridView;

// The main window: tool bar, menus, the measurement table and the status bar
// with its progress bar and link indicator. Creating it runs the program's
// start-up (FormCreate); Exit and closing it end the process (AExitExecute).
class TForm1 : public QMainWindow, public MainView {
    Q_OBJECT

public:
    explicit TForm1(const Environment& environment, QWidget* parent = nullptr);
    ~TForm1() override;

    // MainView
    void SetStatusText(const QString& text) override;
    void SetStatusAndHideProgress(const QString& text) override;
    void SetStatusPanel1Text(const QString& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;
    int ProgressPosition() const override;
    void SetProgressVisible(bool visible) override;
    bool ProgressVisible() const override;
    void SetLinkColour(TColor colour) override;
    void ClearTable() override;
    void ShowArchive() override;
    void WaitPumping(std::uint32_t milliseconds) override;
    void ProcessEvents() override;

    TStringGrid& Grid() const;

    // Lays the controls out for the window's current size and writes the
    // table's header texts.
    void FormResize();

    // The table's keys: Alt+R or Ctrl+R reads, Ctrl+C and Ctrl+Insert copy the
    // selected rows. Returns true when the key was used up.
    bool StringGrid1KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // Commands.
    void AReadExecute();
    void AScreenshotExecute();
    void ATuneExecute();
    void ACopyAllExecute();
    void ACopyCtrlCExecute();
    void AOpenExecute();
    void ASaveExecute();
    void APrintExecute();
    void AExitExecute();
    void AHelpExecute();
    void AChmHelpExecute();
    void AAboutExecute();

    // Controls, named as the rest of the program knows them.
    QFrame* Bevel1 = nullptr;
    QWidget* Panel3 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel8 = nullptr;
    QFrame* Panel4 = nullptr;
    QFrame* Panel5 = nullptr;
    QFrame* Panel6 = nullptr;
    TSpeedButton* SpeedButtonRead = nullptr;
    TSpeedButton* SpeedButtonPrint = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;
    TSpeedButton* SpeedButtonOpen = nullptr;
    TSpeedButton* SpeedButtonSave = nullptr;
    TSpeedButton* SpeedButtonParam = nullptr;
    TSpeedButton* SpeedButtonAbout = nullptr;
    TSpeedButton* SpeedButtonExit = nullptr;
    TStringGridView* StringGrid1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    QWidget* PanelShapeLink = nullptr;
    TShape* ShapeLink = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QMenu* N1 = nullptr;
    QMenu* N2 = nullptr;
    QMenu* N5 = nullptr;
    QMenu* PopupMenu1 = nullptr;

    QAction* ARead = nullptr;
    QAction* AScreenshot = nullptr;
    QAction* ATune = nullptr;
    QAction* ACopyAll = nullptr;
    QAction* ACopyCtrlC = nullptr;
    QAction* AOpen = nullptr;
    QAction* ASave = nullptr;
    QAction* APrint = nullptr;
    QAction* AExit = nullptr;
    QAction* AHelp = nullptr;
    QAction* AChmHelp = nullptr;
    QAction* AAbout = nullptr;

    // The USB link worker; gone once Exit has stopped it.
    TBMThread* BMThreadUSB = nullptr;
    // The COM port of the serial link.
    TComm* Comm1 = nullptr;
    // The device screen window opened last, while it is open.
    QPointer<TfrmScreenshot> frmScreenshot;
    ComPortOpening& ComPorts() { return *comPorts_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateActions();
    void CreateMenus();
    void FormCreate();
    void FormClose();
    // The serial port as the form holds it, with its opening and read-out.
    void CreateComm1();
    // The USB worker's handler, on the component's thread.
    void BMThreadUSBExecute(QObject* Sender, TBMExecuteThread* Thread, void*& Data);
    // Runs one of the worker's hand-overs (the worker waits meanwhile).
    void RunUsbHandOver(const std::function<void()>& call);
    // Shut-down of the USB link: stops the worker and waits until its thread
    // has ended and given the library back.
    void StopUsbWorker();
    QSize ScreenSize() const;
    // The window's outer bounds, frame included, as the settings keep them.
    WindowBounds FrameBounds() const;
    WindowBounds NormalFrameBounds() const;
    void SetFrameBounds(const WindowBounds& bounds);
    // The window system's frame around the inside (none before it is known).
    QMargins FrameMargins() const;
    // The minimum size, 454 x 307, is the outer one as well.
    void ApplyMinimumSize();
    int ShowMessage(const QString& text, const QString& caption, unsigned type);
    bool PutOnClipboard(const QString& text);

    Environment environment_;
    std::unique_ptr<ArchiveCommands> archiveCommands_;
    std::unique_ptr<ComPortOpening> comPorts_;
    std::unique_ptr<SerialReadout> serialReadout_;
    QWidget* client_ = nullptr;
    TColor linkColour_ = clBtnFace;
    // Hand-overs of the worker running now (rendering processes events, so
    // a command can run inside one), and an Exit that came in meanwhile.
    int usbHandOverDepth_ = 0;
    bool exitPending_ = false;
};
