#include "ui/TfrmConfig.h"

#include "app/Settings.h"
#include "platform/Ticks.h"
#include "transport/ComPortOpening.h"
#include "transport/LibUsbWin32.h"
#include "ui/TApplication.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int ClientWidth = 129;
constexpr int ClientHeight = 174;
constexpr int LabelTop = 64;
// Time for a device to settle between closing one link and opening another.
constexpr std::uint32_t ReleasePause = 50;

const QString Config = QStringLiteral("Config");
const QString PortKey = QStringLiteral("COMPortNumber");

}  // namespace

TfrmConfig::TfrmConfig(ComPortOpening& ports, LibUsbWin32& usb, QWidget* parent)
    : QDialog(parent), ports_(ports), usb_(usb) {
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Параметры"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);

    GroupBoxCOM = new QGroupBox(QStringLiteral("Номер COM-порта"), this);
    GroupBoxCOM->setObjectName(QStringLiteral("GroupBoxCOM"));
    GroupBoxCOM->setGeometry(8, 16, 113, 97);

    ComboBoxCOMPortNum = new QComboBox(GroupBoxCOM);
    ComboBoxCOMPortNum->setObjectName(QStringLiteral("ComboBoxCOMPortNum"));
    ComboBoxCOMPortNum->setGeometry(24, 32, 65, ComboBoxCOMPortNum->sizeHint().height());
    // Every choice the user makes, the same item again included, is tested.
    connect(ComboBoxCOMPortNum, &QComboBox::activated, this,
            [this] { TApplication::RunGuarded([this] { ComboBoxCOMPortNumChange(); }); });

    LabelCOMPortHelp = new QLabel(GroupBoxCOM);
    LabelCOMPortHelp->setObjectName(QStringLiteral("LabelCOMPortHelp"));
    LabelCOMPortHelp->setAlignment(Qt::AlignCenter);
    // No test runs while the dialog opens: the label keeps its design text
    // until the first choice.
    SetLabel(QStringLiteral("COM1 - OK"), 8);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(16, 128, 97, 33);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TfrmConfig::FormCreate() {
    ports_.EnumComPorts();
    ComboBoxCOMPortNum->clear();
    ComboBoxCOMPortNum->addItem(QStringLiteral("USB"));
    for (int n : ports_.PortNumbers())
        ComboBoxCOMPortNum->addItem(QStringLiteral("COM%1").arg(n));

    filling_ = true;
    QString stored = ReadSetting(Config, PortKey, {}, 9);
    if (stored.isEmpty()) {
        stored = QStringLiteral("USB");
        WriteSetting(Config, PortKey, stored);
    }
    int item = 0;
    if (!stored.startsWith(QLatin1Char('U'))) {
        // The stored value is not changed, whatever is selected.
        const int n = ParseDecimal(stored).value_or(1);
        const int found = ComboBoxCOMPortNum->findText(QStringLiteral("COM%1").arg(n));
        item = found > 0 ? found : 0;
    }
    ComboBoxCOMPortNum->setCurrentIndex(item);
    filling_ = false;
}

void TfrmConfig::ComboBoxCOMPortNumChange() {
    if (filling_)
        return;
    const int item = ComboBoxCOMPortNum->currentIndex();
    if (item < 0)
        return;
    ComboBoxCOMPortNum->setEnabled(false);
    const QString text = ComboBoxCOMPortNum->itemText(item);
    if (item > 0) {
        const int n = text.mid(3).toInt();
        WriteSetting(Config, PortKey, QString::number(n));
        ReleaseLinks();
        switch (ports_.OpenComPort(n, true)) {
        case ComPortOpening::Opened: SetLabel(text + QStringLiteral(" - OK"), 28); break;
        case ComPortOpening::NotPresent: SetLabel(text + QStringLiteral("-не существует"), 8); break;
        case ComPortOpening::CannotOpen: SetLabel(text + QStringLiteral("-занят"), 24); break;
        default: SetLabel(text + QStringLiteral("-не подключен"), 5); break;
        }
    } else {
        WriteSetting(Config, PortKey, QStringLiteral("USB"));
        ReleaseLinks();
        const bool loaded = usb_.Initialize() == 0;
        SetLabel(loaded ? QStringLiteral("USB - OK") : QStringLiteral("USB-ош. драйвера"), LabelCOMPortHelp->x());
    }
    ComboBoxCOMPortNum->setEnabled(true);
}

void TfrmConfig::ReleaseLinks() {
    if (usb_.isDeviceOpened())
        usb_.CloseLibUsb();
    ports_.ClosePortIfOpen();
    Ticks::Sleep(ReleasePause);
}

void TfrmConfig::SetLabel(const QString& text, int left) {
    LabelCOMPortHelp->setText(text);
    LabelCOMPortHelp->adjustSize();
    LabelCOMPortHelp->move(left, LabelTop);
}
