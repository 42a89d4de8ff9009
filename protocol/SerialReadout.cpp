#include "protocol/SerialReadout.h"

#include "app/ApplicationTitle.h"
#include "app/MainView.h"
#include "archive/Archive.h"
#include "platform/MessageBox.h"
#include "platform/Ticks.h"
#include "protocol/DeviceRecord.h"
#include "protocol/MeterCommands.h"
#include "protocol/SerialFrames.h"
#include "transport/TThreadComm.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

// The answer waits. The identification and count answers get 151 ms from
// their command; a record answer may take as long as it keeps coming, but
// no more than 150 ms of silence.
constexpr std::uint32_t AnswerWait = 151;
constexpr std::uint32_t RecordSilence = 150;
// What counts as a quiet line when input is thrown away.
constexpr std::uint32_t QuietLine = 6;
constexpr std::uint32_t NoRecordsPause = 500;

const char* const PortMessage =
    "Ошибка COM-порта. Порт не работает или занят другой программой.\n"
    "Проверьте настройку параметров\n"
    "или закройте программу, использующую выбранный COM-порт.";

std::uint32_t Since(std::uint32_t start) {
    return Ticks::Elapsed(start, Ticks::Now());
}

}  // namespace

SerialReadout::SerialReadout(TThreadComm& comm, MainView& view, MessageBoxes& boxes, TArchive& archive)
    : comm_(comm), view_(view), boxes_(boxes), archive_(archive) {}

void SerialReadout::Read() {
    if (readBusy_)
        return;
    readBusy_ = true;
    struct ClearBusy {
        bool& busy;
        ~ClearBusy() { busy = false; }
    } clearBusy{readBusy_};
    writeFailureTold_ = false;

    if (PortLost())
        return;
    view_.SetProgressRange(0, 1000);
    view_.SetProgressPosition(0);
    if (!IdentificationPhase())
        return;
    view_.ClearTable();
    std::uint16_t count = 0;
    if (!CountPhase(count))
        return;
    view_.SetProgressRange(0, count);
    if (count == 0) {
        // The archive keeps its records and count; only the table is empty.
        view_.SetStatusText(QStringLiteral("Прибор не содержит записей"));
        view_.WaitPumping(NoRecordsPause);
        return;
    }
    if (RecordsPhase(count))
        view_.SetProgressPosition(count);
    // Also after a lost port: what was read so far is shown, not dropped.
    view_.ShowArchive();
}

bool SerialReadout::IdentificationPhase() {
    for (;;) {
        if (PortLost())
            return false;
        SendCommand(IdentCommand);
        if (!WaitForBytes(IdentAnswerSize, AnswerWait, false))
            continue;
        std::array<std::uint8_t, IdentAnswerSize> answer{};
        const int n = comm_.Read(answer.data(), answer.size());
        if (n != static_cast<int>(answer.size()))
            continue;
        const std::optional<IdentChars> chars = CheckIdentAnswer(answer);
        if (!chars)
            continue;
        view_.SetStatusText(IdentificationText(*chars));
        return true;
    }
}

bool SerialReadout::CountPhase(std::uint16_t& count) {
    for (;;) {
        if (PortLost())
            return false;
        SendCommand(CountCommand);
        // The count is read whether or not it is complete by then: a read
        // would wait up to the port's time limit for the rest. That wait is
        // made here, with the window served, so that the read itself takes
        // only bytes that are there.
        WaitForBytes(CountAnswerSize, AnswerWait, false);
        if (!WaitForBytes(CountAnswerSize, static_cast<std::uint32_t>(std::max(comm_.ReadTimeout(), 0)), false))
            continue;
        std::array<std::uint8_t, CountAnswerSize> answer{};
        if (comm_.Read(answer.data(), answer.size()) < static_cast<int>(answer.size()))
            continue;
        const std::optional<std::uint16_t> n = CheckCountAnswer(answer);
        if (!n)
            continue;
        count = *n;
        return true;
    }
}

bool SerialReadout::RecordsPhase(std::uint16_t count) {
    // A meter may announce more records than the archive holds: the rest
    // are not asked for.
    const int limit = std::min<int>(count, ArchiveCapacity);
    std::uint16_t next = FirstRecordIndex;
    std::optional<RecordAnswer> taken;  // the answer stored last
    archive_.Count = 0;
    while (archive_.Count < limit) {
        view_.SetProgressPosition(archive_.Count);
        view_.ProcessEvents();
        if (PortLost())
            return false;
        SendCommand(BuildRecordRequest(next));
        if (!WaitForBytes(RecordAnswerSize, RecordSilence, true))
            continue;
        std::array<std::uint8_t, RecordAnswerSize> bytes{};
        if (comm_.Read(bytes.data(), bytes.size()) < static_cast<int>(bytes.size()))
            continue;
        const std::optional<RecordAnswer> answer = CheckRecordAnswer(bytes);
        if (!answer)
            continue;
        // A meter slower than the wait answers every request it was sent,
        // the ones asked again included, so the answer to the record before
        // may still come now: the same bytes again, naming as next the index
        // just asked for. Only a record that points at itself gives that
        // answer as its own, and it is in the archive already: asked again.
        if (taken && answer->record == taken->record && answer->next == taken->next)
            continue;
        taken = answer;
        // An archive file opened during the waits may have changed the count.
        if (archive_.Count < 0 || archive_.Count >= limit)
            break;
        FillRecord(answer->record, archive_.Records[archive_.Count]);
        archive_.Count += 1;
        next = answer->next;
        if (next == EndMark)
            break;
        view_.SetStatusText(QStringLiteral("Считано из прибора записей: ") + QString::number(archive_.Count));
    }
    return true;
}

void SerialReadout::PurgeInput() {
    if (comm_.InQueCount() <= 0)
        return;
    do {
        comm_.PurgeIn();
        view_.WaitPumping(QuietLine);
        view_.ProcessEvents();
    } while (comm_.InQueCount() > 0);
}

void SerialReadout::SendCommand(std::span<const std::uint8_t> frame) {
    PurgeInput();
    const auto length = static_cast<std::uint32_t>(frame.size());
    // Told once per read-out: a line that refuses every write (an adapter
    // pulled out) would otherwise raise a message at every repetition, and
    // the user could do nothing but close them.
    if (comm_.Write(frame.data(), length) != static_cast<int>(length) && !writeFailureTold_) {
        writeFailureTold_ = true;
        Warn(QStringLiteral("Ошибка записи команды в COM-порт."));
    }
    // The frame leaves in well under a millisecond at the link's rate; the
    // limit only keeps a stuck line from hanging the window.
    const std::uint32_t start = Ticks::Now();
    const std::uint32_t limit = length * WriteTimeoutMultiplier(comm_.BaudRate());
    while (comm_.OutQueCount() > 0 && Since(start) < limit) {
    }
    // Whatever the meter sends this soon is no answer to the frame.
    view_.WaitPumping(CommandDiscardWindow.count());
    comm_.PurgeIn();
}

bool SerialReadout::WaitForBytes(int count, std::uint32_t limit, bool untilSilent) {
    std::uint32_t start = Ticks::Now();
    int last = 0;
    for (;;) {
        const int waiting = comm_.InQueCount();
        if (waiting >= count)
            return true;
        view_.ProcessEvents();
        if (Since(start) >= limit)
            return false;
        if (untilSilent && waiting != last) {
            last = waiting;
            start = Ticks::Now();
        }
        // Polls about once a millisecond instead of keeping a core busy.
        Ticks::Sleep(1);
    }
}

bool SerialReadout::PortLost() {
    if (comm_.Enabled())
        return false;
    Warn(QString::fromUtf8(PortMessage));
    return true;
}

void SerialReadout::Warn(const QString& text) {
    boxes_.Show(text, ApplicationTitle(), MessageBox::MB_OK | MessageBox::MB_ICONWARNING | MessageBox::MB_TASKMODAL);
}
