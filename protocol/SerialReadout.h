#pragma once

#include <QString>

#include <cstdint>
#include <span>

class MainView;
class MessageBoxes;
class TThreadComm;
struct TArchive;

// The Read command over the COM port: reads the meter's identification, its
// record count and then its records, one request after another, into the
// archive, and shows them.
//
// Runs on the UI thread and never blocks the window: every wait processes
// window events, so other commands run meanwhile, this one included (a
// second Read returns at once), and may close or reopen the port or change
// the archive; each step works with what it then finds. Every exchange is
// repeated until the meter answers it correctly; a port that is closed
// meanwhile ends the read-out with the port message.
class SerialReadout {
public:
    // All outlive the read-out.
    SerialReadout(TThreadComm& comm, MainView& view, MessageBoxes& boxes, TArchive& archive);

    // The read-out, from the busy guard on; returns when the archive has
    // been read and shown, when the meter holds no records, or at once when
    // a read-out runs already or the port is not open (with a message).
    void Read();
    bool ReadBusy() const { return readBusy_; }

    // Discards input until the line has been quiet for 6 ms.
    void PurgeInput();
    // Sends one command frame; afterwards only bytes that arrive from 5 ms
    // after it was sent count as its answer. A write that fails is told once
    // in a read-out; the exchange is repeated as for a missing answer.
    void SendCommand(std::span<const std::uint8_t> frame);

private:
    // Each phase repeats its exchange until it is answered (true) or the
    // port is gone (false, after the port message).
    bool IdentificationPhase();
    bool CountPhase(std::uint16_t& count);
    bool RecordsPhase(std::uint16_t count);

    // Processes window events until at least count bytes wait (true) or
    // limit ms have passed (false): since the start, or with
    // untilSilent, since the number waiting last changed.
    bool WaitForBytes(int count, std::uint32_t limit, bool untilSilent);
    // Shows the port message when the port is not open.
    bool PortLost();
    void Warn(const QString& text);

    TThreadComm& comm_;
    MainView& view_;
    MessageBoxes& boxes_;
    TArchive& archive_;
    bool readBusy_ = false;
    bool writeFailureTold_ = false;  // in this read-out
};
