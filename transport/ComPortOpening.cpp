#include "transport/ComPortOpening.h"

#include "app/ApplicationTitle.h"
#include "app/MainView.h"
#include "platform/ComPortList.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "transport/TThreadComm.h"

#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int MostPorts = 20;
// How long the meter is given to follow a line change, in two waits.
constexpr std::uint32_t LineSettle = 50;

constexpr int CtsSelector = 1;
constexpr int DsrSelector = 2;

// As the framework converts a text to a whole number: decimal, signed, no
// blanks; anything else is an error with the text in its message.
int StrToInt(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw std::runtime_error("'" + text.toStdString() + "' is not a valid integer value");
    return value;
}

}  // namespace

ComPortOpening::ComPortOpening(TThreadComm& comm, ComPortList& ports, MainView& view, MessageBoxes& boxes,
                               ProcessExit& exit)
    : comm_(comm), ports_(ports), view_(view), boxes_(boxes), exit_(exit) {}

int ComPortOpening::EnumComPorts() {
    const QStringList names = ports_.PresentPorts().mid(0, MostPorts);
    std::vector<int> numbers;
    for (const QString& name : names)
        numbers.push_back(StrToInt(name.mid(3)));
    std::sort(numbers.begin(), numbers.end());
    portNumbers_ = std::move(numbers);
    return static_cast<int>(portNumbers_.size());
}

int ComPortOpening::OpenComPort(int n, bool quiet) {
    EnumComPorts();
    const QString port = QString::number(n);
    if (std::find(portNumbers_.begin(), portNumbers_.end(), n) == portNumbers_.end()) {
        if (quiet)
            return NotPresent;
        if (!Retry(QStringLiteral("Выбранный COM-порт (COM") + port +
                   QStringLiteral(") не существует. \nЧтение из прибора невозможно.\nПродолжить выполнение?")))
            return NotPresent;
    }
    for (;;) {
        comm_.SetDeviceName(QStringLiteral("\\\\.\\COM") + port);
        comm_.SetBaudRate(br115200);
        if (!comm_.Enabled())
            comm_.Open();
        if (comm_.Enabled())
            break;
        if (quiet)
            return CannotOpen;
        if (!Retry(QStringLiteral("Выбранный COM-порт (COM") + port +
                   QStringLiteral(") открыт другой программой. \nЧтение из прибора невозможно.\nПродолжить выполнение?")))
            return CannotOpen;
    }
    for (;;) {
        if (LineTest())
            return Opened;
        if (quiet)
            return NoMeter;
        if (!Retry(QStringLiteral("Прибор не подключен к порту COM") + port +
                   QStringLiteral(".\nСвязь с прибором невозможна.\nПродолжить выполнение?")))
            return NoMeter;
    }
}

void ComPortOpening::ClosePortIfOpen() {
    if (comm_.Enabled())
        comm_.Close();
}

bool ComPortOpening::LineTest() {
    comm_.SetRTSState(true);
    comm_.SetDTRState(false);
    view_.WaitPumping(LineSettle);
    view_.WaitPumping(LineSettle);
    const bool followed = comm_.GetModemState(CtsSelector) && !comm_.GetModemState(DsrSelector);
    comm_.SetRTSState(false);
    comm_.SetDTRState(true);
    if (!followed)
        return false;
    view_.WaitPumping(LineSettle);
    view_.WaitPumping(LineSettle);
    return !comm_.GetModemState(CtsSelector);
}

bool ComPortOpening::Retry(const QString& question) {
    using namespace MessageBox;
    const int answer =
        boxes_.Show(question, ApplicationTitle(), MB_ABORTRETRYIGNORE | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TASKMODAL);
    if (answer == IDABORT)
        exit_.Exit(1);  // Nothing is saved. Only a test's exit returns: that goes on as Ignore.
    return answer == IDRETRY;
}
