#pragma once

#include <QString>

#include <vector>

class ComPortList;
class MainView;
class MessageBoxes;
class ProcessExit;
class TThreadComm;

// Opening the meter's COM port: which ports are present, opening one with
// the line test that tells whether the meter is attached, and closing it.
// For the UI thread; the line test's waits serve window events.
class ComPortOpening {
public:
    // Results of OpenComPort.
    enum Result {
        Opened = 0,        // open, and the meter answers the line test
        NotPresent = 1,    // not among the ports present; not opened
        CannotOpen = 2,    // absent or held by another program; closed
        NoMeter = 3,       // open, but the meter does not answer the line test
    };

    // All outlive this object.
    ComPortOpening(TThreadComm& comm, ComPortList& ports, MainView& view, MessageBoxes& boxes, ProcessExit& exit);

    // Lists the ports present anew: at most the first 20 the system gives,
    // their numbers ascending, in PortNumbers. Returns their count. Throws
    // std::runtime_error when a name holds no number after "COM".
    int EnumComPorts();
    const std::vector<int>& PortNumbers() const { return portNumbers_; }

    // Opens COM port n at 115200 baud and tests the line. Unless quiet, each
    // failure asks the user whether to go on: Abort ends the program with
    // exit code 1 at once, Retry tries that step again (a missing port is
    // opened all the same), Ignore returns the result. The port is left with
    // RTS off and DTR on whenever the line test ran.
    int OpenComPort(int n, bool quiet);

    // Closes the port if it is open.
    void ClosePortIfOpen();

private:
    // RTS must reach CTS, and DSR must stay off while DTR is.
    bool LineTest();
    // Asks the user; true for Retry, false for Ignore. Abort ends the program.
    bool Retry(const QString& question);

    TThreadComm& comm_;
    ComPortList& ports_;
    MainView& view_;
    MessageBoxes& boxes_;
    ProcessExit& exit_;
    std::vector<int> portNumbers_;
};
