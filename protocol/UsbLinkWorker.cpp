#include "protocol/UsbLinkWorker.h"

#include "app/MainView.h"
#include "app/MessageTable.h"
#include "archive/Archive.h"
#include "protocol/LittleEndian.h"
#include "protocol/MeterCommands.h"
#include "protocol/UsbWorkerThread.h"
#include "transport/LibUsbWin32.h"

#include <algorithm>
#include <optional>

namespace {

const QString FormatErrorText =
    QStringLiteral("Неверный формат данных, возможно версия прибора не соответствует программе");

std::int32_t Field32(std::span<const std::uint8_t> bytes) {
    return LoadLE32(bytes.first<4>());
}

}  // namespace

UsbLinkWorker::UsbLinkWorker(LibUsbWin32& usb, UsbWorkerThread& thread, MainView& view, TArchive& archive,
                             TLinkState& linkState, TScreenBuffer& screenBuffer)
    : usb_(usb), thread_(thread), view_(view), archive_(archive), linkState_(linkState), screenBuffer_(screenBuffer) {}

void UsbLinkWorker::Execute() {
    thread_.Sleep(500);
    if (thread_.Terminated())
        return;
    if (usb_.Initialize() != 0)
        return;  // no USB library: the Read command takes the serial path
    while (!thread_.Terminated()) {
        thread_.Sleep(50);
        if (!thread_.Terminated())
            Pass();
    }
    usb_.CloseLibUsb();
}

void UsbLinkWorker::Pass() {
    Outcome outcome = Outcome::Done;
    switch (linkState_.load(std::memory_order_acquire)) {
    case LinkStates::FindMeter: FindMeter(); return;
    case LinkStates::Identification: outcome = ReadIdentification(); break;
    case LinkStates::RecordCount: outcome = ReadRecordCount(); break;
    case LinkStates::Records: outcome = ReadRecords(); break;
    case LinkStates::ScreenImage: outcome = ReadScreenImage(); break;
    case LinkStates::Idle: Rest(); return;
    default: return;  // no other value is ever stored
    }
    if (outcome == Outcome::Failed || outcome == Outcome::FormatError)
        HandleError(outcome);
}

void UsbLinkWorker::FindMeter() {
    const auto show = [this](const QString& text) { Ui([&](MainView& v) { v.SetStatusAndHideProgress(text); }); };
    // Not found: the search is repeated in the next pass, until the meter is
    // plugged in.
    if (usb_.FindDevice(show) == 0)
        Store(LinkStates::Identification);
}

UsbLinkWorker::Outcome UsbLinkWorker::ReadIdentification() {
    Ui([](MainView& v) {
        if (!v.ProgressVisible()) {
            v.SetProgressRange(0, 1000);
            v.SetProgressPosition(0);
            v.SetProgressVisible(true);
            v.SetStatusPanel1Text(QString());
        }
        v.SetLinkColour(clLime);
    });
    if (!Write(IdentCommand.data(), IdentCommand.size()))
        return Outcome::Failed;
    thread_.Sleep(80);
    if (!Read(recordBuffer_.data(), 4))
        return Outcome::Failed;
    // A short answer leaves the bytes the buffer held; a negative length reads nothing.
    int length = IdentReadLength(Field32(recordBuffer_));
    if (!Read(recordBuffer_.data(), static_cast<unsigned>(length)))
        return Outcome::Failed;
    length = std::min(length, r_);
    DeviceIdent_ = MakeDeviceIdent(std::span(recordBuffer_).first(static_cast<std::size_t>(length)));
    Ui([&](MainView& v) { v.SetStatusText(DeviceIdent_); });
    thread_.Sleep(100);
    Store(LinkStates::RecordCount);
    Ui([&](MainView& v) { v.SetStatusText(WithIdent(MessageText(TextReadingParameters))); });
    return Outcome::Done;
}

UsbLinkWorker::Outcome UsbLinkWorker::ReadRecordCount() {
    Ui([](MainView& v) { v.ClearTable(); });
    if (!Write(CountCommand.data(), CountCommand.size()))
        return Outcome::Failed;
    if (!Read(recordBuffer_.data(), 4))
        return Outcome::Failed;
    if (!CountLengthValid(Field32(recordBuffer_))) {
        Ui([](MainView& v) { v.SetStatusAndHideProgress(FormatErrorText); });
        return Outcome::FormatError;
    }
    if (!Read(recordBuffer_.data(), 2))
        return Outcome::Failed;
    N_ = LoadLE16(std::span(recordBuffer_).first<2>());
    Store(LinkStates::Records);
    Ui([&](MainView& v) {
        if (N_ > 0)
            v.SetProgressRange(0, N_);  // the minimum is 0 throughout
        v.SetStatusText(WithIdent(MessageText(TextReadingResults)));
    });
    return Outcome::Done;
}

UsbLinkWorker::Outcome UsbLinkWorker::ReadRecords() {
    if (N_ == 0) {
        Ui([&](MainView& v) {
            v.SetStatusText(WithIdent(MessageText(TextArchiveEmpty)));
            v.SetStatusPanel1Text(QString());
            v.SetProgressVisible(false);
            v.SetLinkColour(clBtnFace);
        });
        Store(LinkStates::Idle);
        usb_.CloseDevice();
        return Outcome::Done;
    }

    Ui([](MainView& v) { v.SetLinkColour(clLime); });
    if (!Write(RecordCommand.data(), RecordCommand.size()))
        return Outcome::Failed;
    if (!Read(recordBuffer_.data(), 8))
        return Outcome::Failed;
    const std::int32_t n = Field32(recordBuffer_);
    const std::int32_t s = Field32(std::span(recordBuffer_).subspan(4));
    // A record size the buffer can't take or that makes no record is a meter
    // this program does not know; more records than the archive holds are
    // taken to the end of the answer, and only the first ones kept.
    const std::optional<RecordBlockPlan> plan = PlanRecordBlock(n, s, ArchiveCapacity);
    if (!plan) {
        Ui([](MainView& v) { v.SetStatusAndHideProgress(FormatErrorText); });
        return Outcome::FormatError;
    }

    gathered_.clear();
    const int parts = plan->stored + plan->discarded;
    for (int i = 0; i < parts; ++i) {
        if (thread_.Terminated())
            return Outcome::Stopped;
        Ui([](MainView& v) { v.SetProgressPosition(v.ProgressPosition() + 1); });
        if (!Read(recordBuffer_.data(), static_cast<unsigned>(plan->partSize))) {
            // What was read so far is the archive now, shown or not.
            Ui([&](MainView&) { PutGatheredIntoArchive(); });
            return Outcome::Failed;
        }
        if (i < plan->stored)
            gathered_.push_back(ToDeviceRecordBytes());
    }

    Ui([&](MainView& v) {
        if (parts > 0)
            PutGatheredIntoArchive();
        v.ShowArchive();
    });
    Store(LinkStates::Idle);
    usb_.CloseDevice();
    Ui([&](MainView& v) {
        v.SetStatusText(WithIdent(MessageText(TextRecordsLoaded)) + QString::number(archive_.Count));
        v.SetStatusPanel1Text(QString());
        v.SetProgressVisible(false);
        v.SetLinkColour(clBtnFace);
    });
    return Outcome::Done;
}

UsbLinkWorker::Outcome UsbLinkWorker::ReadScreenImage() {
    if (usb_.FindDevice([this](const QString& text) {
            Ui([&](MainView& v) { v.SetStatusAndHideProgress(text); });
        }) != 0)
        return Outcome::Done;  // asked again in the next pass
    // Held until the image is in, whatever the window does meanwhile. No
    // buffer handed over: the image is read all the same, and dropped.
    std::shared_ptr<TScreenImage> buffer = screenBuffer_.Load();
    if (!buffer)
        buffer = std::make_shared<TScreenImage>();

    Ui([](MainView& v) {
        v.SetStatusText(MessageText(TextReadingScreen));
        v.SetLinkColour(clLime);
    });
    thread_.Sleep(100);
    if (!Write(ScreenCommand.data(), ScreenCommand.size()))
        return Outcome::Failed;
    if (!Read(buffer->data(), 4))
        return Outcome::Failed;
    const int length = ScreenReadLength(Field32(*buffer));
    if (!Read(buffer->data(), static_cast<unsigned>(length)))
        return Outcome::Failed;
    Store(LinkStates::Idle);
    usb_.CloseDevice();
    Ui([](MainView& v) {
        v.SetStatusText(MessageText(TextScreenRead));
        v.SetLinkColour(clBtnFace);
    });
    return Outcome::Done;
}

void UsbLinkWorker::Rest() {
    thread_.Sleep(100);
    Ui([](MainView& v) { v.SetLinkColour(clBtnFace); });
}

void UsbLinkWorker::HandleError(Outcome outcome) {
    Ui([&](MainView& v) {
        // The format error has shown its own text.
        if (outcome != Outcome::FormatError)
            v.SetStatusAndHideProgress(LibUsbWin32::GetErrorText(r_));
        v.SetLinkColour(clRed);
    });
    // Whatever the meter still sends would start the next answer.
    while (!thread_.Terminated() && usb_.ReadData(scratch_.data(), scratch_.size()) > 0) {
    }
    Ui([](MainView& v) { v.SetProgressVisible(false); });
    Store(LinkStates::Idle);
    usb_.CloseDevice();
}

bool UsbLinkWorker::Write(const std::uint8_t* bytes, unsigned length) {
    r_ = usb_.WriteData(bytes, length);
    return r_ >= 0;
}

bool UsbLinkWorker::Read(std::uint8_t* buffer, unsigned length) {
    r_ = usb_.ReadData(buffer, length);
    return r_ >= 0;
}

void UsbLinkWorker::Ui(const std::function<void(MainView&)>& change) {
    thread_.OnUiThread([&] { change(view_); });
}

QString UsbLinkWorker::WithIdent(const QString& text) const {
    return DeviceIdent_ + QStringLiteral("; ") + text;
}

void UsbLinkWorker::Store(std::uint8_t state) {
    linkState_.store(state, std::memory_order_release);
}

DeviceRecord UsbLinkWorker::ToDeviceRecordBytes() const {
    DeviceRecord record;
    std::copy_n(recordBuffer_.begin(), record.size(), record.begin());
    return record;
}

void UsbLinkWorker::PutGatheredIntoArchive() {
    for (std::size_t i = 0; i < gathered_.size(); ++i)
        FillRecord(gathered_[i], archive_.Records[i]);
    archive_.Count = static_cast<std::int32_t>(gathered_.size());
}
