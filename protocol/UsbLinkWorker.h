#pragma once

#include "protocol/DeviceRecord.h"
#include "protocol/UsbAnswers.h"
#include "protocol/UsbLinkState.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class LibUsbWin32;
class MainView;
class UsbWorkerThread;
struct TArchive;

// The USB link worker: on a thread of its own, for the rest of the run, it
// carries out what LinkState asks for through the USB layer (find the meter,
// read its identification, record count and records; read its screen image)
// and shows what it does in the status bar, the progress bar and the link
// indicator. Every change of the window is handed to the user-interface thread
// in order, and the worker waits for each.
//
// The archive is touched only on the user-interface thread: the records are
// gathered here and put into the archive in the same hand-over that renders
// them, so a file saved, opened or printed while a read runs always sees a
// whole archive (the one before the read), never one half filled. A read that
// fails part way puts the records it got into the archive without rendering
// them, as a failed read always has.
class UsbLinkWorker {
public:
    UsbLinkWorker(LibUsbWin32& usb, UsbWorkerThread& thread, MainView& view, TArchive& archive,
                  TLinkState& linkState, TScreenBuffer& screenBuffer);

    // The whole run: 500 ms pause, the USB layer loaded (a library that can't
    // be loaded ends the worker at once, silently), then a pass every 50 ms
    // until Terminated, and the layer closed.
    void Execute();

    // One pass: acts on the current LinkState.
    void Pass();

    // The meter's identification as last read, at most 63 characters.
    const QString& DeviceIdent() const { return DeviceIdent_; }

private:
    enum class Outcome { Done, Failed, FormatError, Stopped };

    void FindMeter();
    Outcome ReadIdentification();
    Outcome ReadRecordCount();
    Outcome ReadRecords();
    Outcome ReadScreenImage();
    void Rest();
    void HandleError(Outcome outcome);

    // Transfers that keep their result in r_ and tell whether it is an error.
    bool Write(const std::uint8_t* bytes, unsigned length);
    bool Read(std::uint8_t* buffer, unsigned length);
    // Runs change on the window, on the user-interface thread, and waits.
    void Ui(const std::function<void(MainView&)>& change);
    // The meter's status text after the identification: DeviceIdent + "; " + text.
    QString WithIdent(const QString& text) const;
    void Store(std::uint8_t state);
    // The record in the record buffer's first bytes.
    DeviceRecord ToDeviceRecordBytes() const;
    // User-interface thread: the records gathered become the archive.
    void PutGatheredIntoArchive();

    LibUsbWin32& usb_;
    UsbWorkerThread& thread_;
    MainView& view_;
    TArchive& archive_;
    TLinkState& linkState_;
    TScreenBuffer& screenBuffer_;

    QString DeviceIdent_;
    std::uint16_t N_ = 0;  // the record count, from state 2 for state 3
    int r_ = 0;            // the last transfer's result
    std::array<std::uint8_t, RecordBufferSize> recordBuffer_{};
    std::array<std::uint8_t, 64> scratch_{};
    // The records of the block being read, for the archive.
    std::vector<DeviceRecord> gathered_;
};
