#include "ui/TForm1.h"

#include "app/AppPaths.h"
#include "app/ApplicationTitle.h"
#include "app/BuildDate.h"
#include "app/HelpFiles.h"
#include "app/LinkLog.h"
#include "app/Settings.h"
#include "app/StartupRules.h"
#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "archive/TableRendering.h"
#include "output/ClipboardCopy.h"
#include "output/MeasurementReport.h"
#include "platform/ProcessExit.h"
#include "platform/Ticks.h"
#include "platform/VersionRecord.h"
#include "platform/widgets/Clipboard.h"
#include "platform/widgets/Desktop.h"
#include "platform/widgets/MessageBox.h"
#include "protocol/SerialReadout.h"
#include "report/ReportPreview.h"
#include "protocol/UsbLinkState.h"
#include "protocol/UsbLinkWorker.h"
#include "thread/TBMThread.h"
#include "transport/ComPortOpening.h"
#include "transport/LibUsbWin32.h"
#include "transport/TComm.h"
#include "ui/ArchiveCommands.h"
#include "ui/FormLayout.h"
#include "ui/StatusBar.h"
#include "ui/StringGridView.h"
#include "ui/TAboutBox.h"
#include "ui/TApplication.h"
#include "ui/TShape.h"
#include "ui/TfrmConfig.h"
#include "ui/TfrmScreenshot.h"
#include "ui/TSpeedButton.h"
#include "ui/UsbWorkerHandOver.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QUrl>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>

namespace {

using namespace MessageBox;

constexpr int DesignWidth = 499;
constexpr int DesignHeight = 362;

// The pictures of the actions, by their place in the image list.
QIcon ImageListIcon(int index) {
    static const char* const files[12] = {
        "open", "save", nullptr, nullptr, "print", "exit", "read", "copy", "tune", nullptr, "help", "about",
    };
    const char* file = (index >= 0 && index < 12) ? files[index] : nullptr;
    return file ? QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(file))) : QIcon();
}

QFrame* MakeToolPanel(QWidget* toolBar, const char* name, int left, int width) {
    auto* panel = new QFrame(toolBar);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(left, 0, width, 33);
    return panel;
}

TSpeedButton* MakeToolButton(QFrame* panel, const char* name, int left, QAction* action) {
    auto* button = new TSpeedButton(action, panel);
    button->setObjectName(QLatin1String(name));
    button->move(left, 5);
    return button;
}

}  // namespace

// The pictures are compiled into this static library, whose resources are not
// registered by themselves.
static void RegisterIcons() {
    Q_INIT_RESOURCE(icons);
}

TForm1::TForm1(const Environment& environment, QWidget* parent)
    : QMainWindow(parent), environment_(environment) {
    RegisterIcons();
    setObjectName(QStringLiteral("Form1"));
    // The window system's frame is known once the window exists, and every
    // size of this window counts the frame in.
    winId();
    SetFrameBounds({x(), y(), DesignWidth, DesignHeight});
    ApplyMinimumSize();
    setWindowIcon(QIcon(QStringLiteral(":/icons/vel.svg")));
    QFont small = font();  // the window was designed for an 8-point font
    small.setPointSize(8);
    setFont(small);
    CreateActions();
    CreateControls();
    CreateMenus();
    BMThreadUSB = new TBMThread(this);
    BMThreadUSB->SetPriority(tpIdle);
    BMThreadUSB->OnExecute = [this](QObject* Sender, TBMExecuteThread* Thread, void*& Data) {
        BMThreadUSBExecute(Sender, Thread, Data);
    };
    CreateComm1();
    FormCreate();
}

void TForm1::CreateComm1() {
    Comm1 = new TComm(*environment_.commApi, this);
    Comm1->setObjectName(QStringLiteral("Comm1"));
    Comm1->SetDeviceName(QStringLiteral("Com1"));
    Comm1->SetReadBufSize(40960);
    Comm1->SetWriteBufSize(32);
    Comm1->SetMonitorEvents({evRxChar, evTxEmpty});
    Comm1->SetBaudRate(br19200);
    Comm1->SetStopBits(sb20);
    Comm1->SetFlowControl(fcNone);
    comPorts_ = std::make_unique<ComPortOpening>(*Comm1, *environment_.comPorts, *this, *environment_.messageBoxes,
                                                 *environment_.processExit);
    serialReadout_ = std::make_unique<SerialReadout>(*Comm1, *this, *environment_.messageBoxes, Archive);
}

TForm1::~TForm1() {
    // Before the widgets go: a running worker's last synchronized calls may
    // still reach them while its component waits for it.
    delete BMThreadUSB;
}

void TForm1::CreateActions() {
    struct ActionInfo {
        QAction** action;
        const char* name;
        const char* caption;
        int image;
        void (TForm1::*handler)();
    };
    const ActionInfo actions[] = {
        {&ARead, "ARead", "&Считывание данных из прибора", 6, &TForm1::AReadExecute},
        {&AScreenshot, "AScreenshot", "Считать вид экрана прибора", -1, &TForm1::AScreenshotExecute},
        {&ATune, "ATune", "&Параметры...", 8, &TForm1::ATuneExecute},
        {&ACopyAll, "ACopyAll", "Скопировать таблицу в буфер обмена", 7, &TForm1::ACopyAllExecute},
        {&ACopyCtrlC, "ACopyCtrlC", "Копировать", 7, &TForm1::ACopyCtrlCExecute},
        {&AOpen, "AOpen", "Открыть...", 0, &TForm1::AOpenExecute},
        {&ASave, "ASave", "Сохранить...", 1, &TForm1::ASaveExecute},
        {&APrint, "APrint", "&Печать отчета", 4, &TForm1::APrintExecute},
        {&AExit, "AExit", "&Выход", 5, &TForm1::AExitExecute},
        {&AHelp, "AHelp", "Помощь (hlp)", 10, &TForm1::AHelpExecute},
        {&AChmHelp, "AChmHelp", "Помощь (chm)", 10, &TForm1::AChmHelpExecute},
        {&AAbout, "AAbout", "&О программе", 11, &TForm1::AAboutExecute},
    };
    for (const ActionInfo& s : actions) {
        auto* action = new QAction(ImageListIcon(s.image), QString::fromUtf8(s.caption), this);
        action->setObjectName(QLatin1String(s.name));
        // A command that throws is reported and ends there, short of Qt's frames.
        const auto handler = s.handler;
        connect(action, &QAction::triggered, this,
                [this, handler] { TApplication::RunGuarded([&] { (this->*handler)(); }); });
        *s.action = action;
    }
}

void TForm1::CreateControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    Bevel1 = new QFrame(client_);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(0, 0, width(), 2);

    Panel3 = new QWidget(client_);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(8, 4, 477, 33);
    Panel1 = MakeToolPanel(Panel3, "Panel1", 0, ToolPanelWidth);
    Panel2 = MakeToolPanel(Panel3, "Panel2", 33, ToolPanelWidth);
    Panel8 = MakeToolPanel(Panel3, "Panel8", 66, 93);
    Panel4 = MakeToolPanel(Panel3, "Panel4", 159, ToolPanelWidth);
    Panel5 = MakeToolPanel(Panel3, "Panel5", 288, ToolPanelWidth);
    Panel6 = MakeToolPanel(Panel3, "Panel6", 336, ToolPanelWidth);
    SpeedButtonRead = MakeToolButton(Panel1, "SpeedButtonRead", 5, ARead);
    SpeedButtonPrint = MakeToolButton(Panel2, "SpeedButtonPrint", 5, APrint);
    SpeedButton1 = MakeToolButton(Panel8, "SpeedButton1", 5, ACopyAll);
    SpeedButtonOpen = MakeToolButton(Panel8, "SpeedButtonOpen", 33, AOpen);
    SpeedButtonSave = MakeToolButton(Panel8, "SpeedButtonSave", 61, ASave);
    SpeedButtonParam = MakeToolButton(Panel4, "SpeedButtonParam", 5, ATune);
    SpeedButtonAbout = MakeToolButton(Panel5, "SpeedButtonAbout", 5, AHelp);
    SpeedButtonExit = MakeToolButton(Panel6, "SpeedButtonExit", 5, AExit);

    auto* grid = new TStringGrid(5, 3, this);
    grid->setObjectName(QStringLiteral("StringGrid1Cells"));
    StringGrid1 = new TStringGridView(*grid, client_);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(8, 44, 477, 292);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    StringGrid1->installEventFilter(this);

    StatusBar1 = new TStatusBar(client_);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->SetPanelWidth(1, 135);
    StatusBar1->SetPanelWidth(2, 20);
    StatusBar1->SetPanelText(1, QStringLiteral("Попытка соединения..."));

    // Designed outside the status bar; start-up moves them in.
    PanelShapeLink = new QWidget(client_);
    PanelShapeLink->setObjectName(QStringLiteral("PanelShapeLink"));
    PanelShapeLink->resize(12, 13);
    ShapeLink = new TShape(PanelShapeLink);
    ShapeLink->setObjectName(QStringLiteral("ShapeLink"));
    ShapeLink->setGeometry(1, 2, 10, 10);
    ProgressBar1 = new QProgressBar(client_);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->resize(136, 11);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
}

void TForm1::CreateMenus() {
    QMenuBar* bar = menuBar();
    N1 = bar->addMenu(QStringLiteral("&Файл"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->addAction(ACopyAll);
    N1->addSeparator();
    N1->addAction(AOpen);
    N1->addAction(ASave);
    N1->addSeparator();
    N1->addAction(APrint);
    N1->addSeparator();
    N1->addAction(AExit);

    N2 = bar->addMenu(QStringLiteral("&Команды"));
    N2->setObjectName(QStringLiteral("N2"));
    N2->addAction(ARead);
    N2->addAction(AScreenshot);
    N2->addSeparator();
    N2->addAction(ATune);

    N5 = bar->addMenu(QStringLiteral("&Помощь"));
    N5->setObjectName(QStringLiteral("N5"));
    N5->addAction(AHelp);
    N5->addAction(AChmHelp);
    N5->addSeparator();
    N5->addAction(AAbout);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ACopyCtrlC);
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(at)); });
}

TStringGrid& TForm1::Grid() const {
    return StringGrid1->Grid();
}

QSize TForm1::ScreenSize() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

void TForm1::FormCreate() {
    // Numbers are formatted with "," throughout (see MeasurementTexts).
    setWindowTitle(ApplicationTitle());

    SetProgramPaths(environment_.programDir);
    archiveCommands_ = std::make_unique<ArchiveCommands>(*this, *environment_.messageBoxes, *environment_.fileDialogs,
                                                         Archive, DataDir + QLatin1Char('/'));

    // The report's template comes from the resources; a broken one shows now,
    // not at the first Print.
    MeasurementTemplate();

    // Before anything that could use the USB link.
    LinkLog.Configure(LinkLogPath, &LinkLogSwitchFromSettings);
    StartLinkLog();

    // The link indicator and the progress bar go into the status bar; the
    // layout places them along it.
    PanelShapeLink->setParent(StatusBar1);
    ProgressBar1->setParent(StatusBar1);
    PanelShapeLink->move(PanelShapeLink->x(), (StatusBarHeight - PanelShapeLink->height()) / 2);
    ProgressBar1->move(ProgressBar1->x(), 5);
    PanelShapeLink->show();
    ProgressBar1->show();

    WriteSetting(QStringLiteral("Config"), QStringLiteral("Uses"),
                 QString::number(NextUses(ReadSetting(QStringLiteral("Config"), QStringLiteral("Uses"),
                                                      QStringLiteral("0"), 9))));

    const QSize screen = ScreenSize();
    const WindowPlacement placement = ReadWindowPlacement(screen.width(), screen.height());
    SetFrameBounds(placement.bounds);

    const PortChoice port = ChoosePort(ReadSetting(QStringLiteral("Config"), QStringLiteral("COMPortNumber"), {}, 9));
    if (port.storeOne)
        WriteSetting(QStringLiteral("Config"), QStringLiteral("COMPortNumber"), QStringLiteral("1"));
    if (port.usb)
        BMThreadUSB->Start();
    else
        comPorts_->OpenComPort(port.comPort, false);

    FormResize();
    if (placement.maximized)
        showMaximized();
    else
        show();

    // The window opens with the two header rows and one empty data row whose
    // number cell reads 1.
    for (int row = 2; row <= 199; ++row)
        Grid().SetCells(0, row, QString::number(row - 1));
    ClearTable();

    // A connected meter is read as soon as the worker has started.
    LinkState.store(LinkStates::FindMeter, std::memory_order_release);
}

void TForm1::AExitExecute() {
    // Inside a hand-over the worker waits for this very call to return, so it
    // could never end: the exit runs as soon as the hand-over is over.
    if (usbHandOverDepth_ > 0) {
        exitPending_ = true;
        return;
    }
    StopUsbWorker();

    // The normal bounds are stored even when the window is maximized.
    const bool maximized = isMaximized();
    const WindowPlacement placement{maximized ? NormalFrameBounds() : FrameBounds(), maximized};
    if (maximized)
        showNormal();
    WriteWindowPlacement(placement);

    comPorts_->ClosePortIfOpen();
    LibUSB.CloseLibUsb();
    // No question about an unsaved archive: the meter still holds it.
    environment_.processExit->Exit(0);
}

void TForm1::StopUsbWorker() {
    if (!BMThreadUSB)
        return;
    BMThreadUSB->Stop();
    // The worker releases the library as it ends. Its hand-overs are served
    // meanwhile: it may be waiting in one.
    const std::uint32_t start = Ticks::Now();
    while (BMThreadUSB->GetRuning() && LibUSB.isLibraryLoaded() && Ticks::Elapsed(start, Ticks::Now()) <= 500) {
        QCoreApplication::sendPostedEvents(BMThreadUSB, QEvent::MetaCall);
        Ticks::Sleep(1);
    }
    // Serves the last hand-overs and joins the thread: nothing the worker
    // uses may go while it runs, and the process ends next.
    delete BMThreadUSB;
    BMThreadUSB = nullptr;
}

void TForm1::BMThreadUSBExecute(QObject* /*Sender*/, TBMExecuteThread* Thread, void*& /*Data*/) {
    UsbWorkerHandOver thread(*Thread, [this](const std::function<void()>& call) { RunUsbHandOver(call); });
    UsbLinkWorker worker(LibUSB, thread, *this, Archive, LinkState, ScreenBuffer);
    worker.Execute();
}

void TForm1::RunUsbHandOver(const std::function<void()>& call) {
    ++usbHandOverDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{usbHandOverDepth_};
    call();
    if (usbHandOverDepth_ == 1 && exitPending_) {
        exitPending_ = false;
        QMetaObject::invokeMethod(
            this, [this] { TApplication::RunGuarded([this] { AExitExecute(); }); }, Qt::QueuedConnection);
    }
}

QMargins TForm1::FrameMargins() const {
    const QRect frame = frameGeometry();
    const QRect inside = geometry();
    return {inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
            frame.bottom() - inside.bottom()};
}

WindowBounds TForm1::FrameBounds() const {
    const QRect frame = frameGeometry();
    return {frame.x(), frame.y(), frame.width(), frame.height()};
}

// Qt keeps the normal bounds of a maximized window by its inside.
WindowBounds TForm1::NormalFrameBounds() const {
    const QRect frame = normalGeometry().marginsAdded(FrameMargins());
    return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void TForm1::SetFrameBounds(const WindowBounds& bounds) {
    const QMargins frame = FrameMargins();
    move(bounds.left, bounds.top);
    resize(bounds.width - frame.left() - frame.right(), bounds.height - frame.top() - frame.bottom());
}

void TForm1::ApplyMinimumSize() {
    const QMargins frame = FrameMargins();
    setMinimumSize(MinFormWidth - frame.left() - frame.right(), MinFormHeight - frame.top() - frame.bottom());
}

void TForm1::showEvent(QShowEvent* event) {
    // A window manager may have put its own frame around the window by now.
    ApplyMinimumSize();
    QMainWindow::showEvent(event);
}

void TForm1::FormClose() {
    AExitExecute();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    // F1 anywhere in the window opens the help, as the Помощь command does.
    // A key event rather than a shortcut: the window's own keys reach it
    // from whichever control has the focus, and nothing is registered.
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        TApplication::RunGuarded([&] { AHelpExecute(); });
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize)
        FormResize();
    if (watched == StringGrid1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (StringGrid1KeyDown(key->key(), key->modifiers()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormResize() {
    const QSize screen = ScreenSize();
    const QRect frame = frameGeometry();
    if (frame.width() > screen.width())
        resize(width() - (frame.width() - screen.width()), height());
    if (frame.height() > screen.height())
        resize(width(), height() - (frame.height() - screen.height()));

    if (!isVisible())
        layout()->activate();  // the client area's size before the first show
    const FormLayout l = ComputeFormLayout({frameGeometry().width(), client_->width(), client_->height()});

    for (int i = 0; i < TStatusBar::PanelCount; ++i)
        StatusBar1->SetPanelWidth(i, l.statusPanelWidths[i]);
    StatusBar1->setGeometry(0, client_->height() - StatusBarHeight, client_->width(), StatusBarHeight);
    ProgressBar1->move(l.progressLeft, ProgressBar1->y());
    PanelShapeLink->move(l.linkPanelLeft, PanelShapeLink->y());

    for (int col = 0; col < 5; ++col)
        StringGrid1->SetColWidth(col, l.colWidths[col]);
    StringGrid1->setGeometry(l.grid.left, l.grid.top, l.grid.width, l.grid.height);
    Panel3->setGeometry(l.toolBar.left, l.toolBar.top, l.toolBar.width, l.toolBar.height);
    Panel6->move(l.panel6Left, 0);
    Panel5->move(l.panel5Left, 0);
    Bevel1->setGeometry(0, 0, client_->width(), 2);

    WriteHeaderTexts(Grid());
}

// ---- MainView ----

void TForm1::SetStatusText(const QString& text) {
    StatusBar1->SetPanelText(0, text);
}

void TForm1::SetStatusAndHideProgress(const QString& text) {
    SetStatusText(text);
    ProgressBar1->setVisible(false);
}

void TForm1::SetStatusPanel1Text(const QString& text) {
    StatusBar1->SetPanelText(1, text);
}

void TForm1::SetProgressRange(int minimum, int maximum) {
    ProgressBar1->setRange(minimum, maximum);
}

void TForm1::SetProgressPosition(int position) {
    ProgressBar1->setValue(position);
}

int TForm1::ProgressPosition() const {
    return ProgressBar1->value();
}

void TForm1::SetProgressVisible(bool visible) {
    ProgressBar1->setVisible(visible);
}

bool TForm1::ProgressVisible() const {
    return ProgressBar1->isVisibleTo(StatusBar1);
}

void TForm1::SetLinkColour(TColor colour) {
    if (linkColour_ == clRed && colour != clRed)
        Ticks::Sleep(20);
    linkColour_ = colour;
    ShapeLink->SetBrushColor(colour);
}

void TForm1::ClearTable() {
    ::ClearTable(Grid(), [this] { FormResize(); });
}

void TForm1::ShowArchive() {
    ::ShowArchive(Grid(), Archive);
}

void TForm1::WaitPumping(std::uint32_t milliseconds) {
    const std::uint32_t start = Ticks::Now();
    while (Ticks::Elapsed(start, Ticks::Now()) < milliseconds)
        QCoreApplication::processEvents();
}

void TForm1::ProcessEvents() {
    QCoreApplication::processEvents();
}

// ---- Archive files ----

void TForm1::AOpenExecute() {
    archiveCommands_->Open();
}

void TForm1::ASaveExecute() {
    archiveCommands_->Save();
}

// ---- Clipboard ----

void TForm1::ACopyAllExecute() {
    if (PutOnClipboard(WholeTableText(Grid())))
        SetStatusText(QStringLiteral("Данные скопированы в буфер обмена."));
}

void TForm1::ACopyCtrlCExecute() {
    PutOnClipboard(SelectionText(Grid()));
}

// A clipboard another program holds ends the command with the error, like any
// failure nobody handles; the clipboard and the status line stay as they were.
bool TForm1::PutOnClipboard(const QString& text) {
    if (environment_.clipboard->SetText(text))
        return true;
    ShowMessage(QStringLiteral("Cannot open clipboard"), ApplicationTitle(), MB_ICONERROR | MB_OK);
    return false;
}

bool TForm1::StringGrid1KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    // The letters are also taken from their place on a Russian keyboard (К, С).
    const bool r = key == Qt::Key_R || key == 0x041A;
    const bool c = key == Qt::Key_C || key == 0x0421;
    if (r && (modifiers & (Qt::AltModifier | Qt::ControlModifier))) {
        ARead->trigger();
        return false;
    }
    // Ctrl+Insert is the other copy key users know; both copy the rows.
    if ((c || key == Qt::Key_Insert) && (modifiers & Qt::ControlModifier)) {
        ACopyCtrlC->trigger();
        return true;
    }
    return false;
}

int TForm1::ShowMessage(const QString& text, const QString& caption, unsigned type) {
    return environment_.messageBoxes->Show(text, caption, type);
}

// ---- Reading the meter ----

void TForm1::AReadExecute() {
    SetStatusText(QString());
    if (BMThreadUSB && BMThreadUSB->GetRuning()) {
        // The worker takes a new read only when it rests; a read under way
        // or a screen request goes on as it is.
        std::uint8_t idle = LinkStates::Idle;
        LinkState.compare_exchange_strong(idle, LinkStates::FindMeter, std::memory_order_acq_rel);
        return;
    }
    serialReadout_->Read();
}

// ---- The port dialog ----

void TForm1::ATuneExecute() {
    TfrmConfig dialog(*comPorts_, LibUSB, this);
    dialog.exec();
}

// ---- The device screen window ----

void TForm1::AScreenshotExecute() {
    // A new window each time; the last one is kept at hand.
    auto* window = new TfrmScreenshot(this, *environment_.colorDialogs, *environment_.clipboard);
    frmScreenshot = window;
    window->BtnGetPictureClick();
}

// ---- The measurement report ----

void TForm1::APrintExecute() {
    if (Archive.Count == 0)
        return;
    // Laid out afresh from the table as it is now; the preview lays it out
    // again for another page setup.
    TReportPreview preview(
        PrepareMeasurementReport(Grid()), [this](const PageSetup& page) { return PrepareMeasurementReport(Grid(), page); },
        *environment_.fileDialogs, *environment_.messageBoxes, this);
    preview.exec();
}

// ---- Commands without an effect of their own in this build ----

// ---- Help and About ----

void TForm1::AHelpExecute() {
    // Where the manual should be, even when it is missing: the browser then
    // says so itself.
    QString manual = ManualFile(ProgramDir);
    if (manual.isEmpty())
        manual = ProgramDir + QStringLiteral("/Help/index.html");
    environment_.desktop->OpenUrl(QUrl::fromLocalFile(manual));
}

void TForm1::AChmHelpExecute() {
    // The compiled help where a viewer for it is installed; the manual
    // otherwise, which holds the same.
    const QString compiled = CompiledHelpFile();
    if (QFileInfo(compiled).isFile()) {
        for (const QString& name : CompiledHelpViewers()) {
            const QString viewer = environment_.desktop->FindProgram(name);
            if (!viewer.isEmpty() && environment_.desktop->StartProgram(viewer, {compiled}))
                return;
        }
    }
    AHelpExecute();
}

void TForm1::AAboutExecute() {
    const VersionRecords& records = *environment_.versionRecords;
    if (records.InfoSize() == 0)
        return;
    TAboutBox box(*environment_.desktop, this);
    box.ProductName->setText(ApplicationTitle());
    const BuildDate& date = ProgramBuildDate();
    const std::optional<VersionBlock> block = records.Read();
    if (block && block->translation.size() >= 4) {
        const auto word = [&](int at) {
            return static_cast<unsigned>(static_cast<unsigned char>(block->translation[at])) |
                   static_cast<unsigned>(static_cast<unsigned char>(block->translation[at + 1])) << 8;
        };
        const QString key =
            QStringLiteral("%1%2").arg(word(0), 4, 16, QLatin1Char('0')).arg(word(2), 4, 16, QLatin1Char('0')).toUpper();
        const QString table = QStringLiteral("\\StringFileInfo\\") + key + QStringLiteral("\\");
        // Each entry on its own: one missing leaves only its own text.
        if (const std::optional<QString> name = block->Query(table + QStringLiteral("InternalName")))
            box.setWindowTitle(QStringLiteral("О программе ") + *name);
        if (const std::optional<QString> version = block->Query(table + QStringLiteral("FileVersion"))) {
            box.Version->setText(VersionLine(*version, date));
            box.Version->adjustSize();
        }
        if (const std::optional<QString> copyright = block->Query(table + QStringLiteral("LegalCopyright")))
            box.txtCopyright->setText(*copyright);
    }
    // F1 in the box opens the same help as in the window.
    auto* help = new QShortcut(QKeySequence::HelpContents, &box);
    connect(help, &QShortcut::activated, this, &TForm1::AHelpExecute);
    box.exec();
}
