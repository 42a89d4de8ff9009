#include "transport/TComm.h"
#include "transport/TThreadComm.h"

#include "support/FakeCommApi.h"
#include "support/PumpUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const QString Port = QStringLiteral("\\\\.\\COM3");

// The message of the error that action raises; empty when it raises none.
std::string Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

class TThreadCommTest : public ::testing::Test {
protected:
    TThreadCommTest() {
        api.AddDevice(Port);
        comm.SetDeviceName(Port);
    }

    // Opens the port and waits until its event thread waits, so that the
    // calls logged from then on are the test's own.
    void OpenPort() {
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
        ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));
        api.ClearCalls();
    }

    int CallsOf(const std::string& name) const {
        const auto calls = api.Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }

    FakeCommApi api;
    TComm comm{api};
};

TEST_F(TThreadCommTest, StartsClosedWithTheDefaults) {
    TComm fresh(api);
    EXPECT_FALSE(fresh.Enabled());
    EXPECT_EQ(fresh.DeviceName(), "Com2");
    EXPECT_EQ(fresh.ReadTimeout(), 1000);
    EXPECT_EQ(fresh.WriteTimeout(), 1000);
    EXPECT_EQ(fresh.ReadBufSize(), 4096);
    EXPECT_EQ(fresh.WriteBufSize(), 2048);
    EXPECT_EQ(fresh.SuspendTime(), 5u);
    EXPECT_EQ(fresh.MonitorEvents().Bits(), 0x01FF);
    EXPECT_EQ(fresh.BaudRate(), br9600);
    EXPECT_EQ(fresh.Parity(), paNone);
    EXPECT_EQ(fresh.StopBits(), sb10);
    EXPECT_EQ(fresh.DataBits(), da8);
    EXPECT_EQ(fresh.Options(), TCommOptions{});
    EXPECT_EQ(fresh.FlowControl(), fcDefault);
}

TEST_F(TThreadCommTest, AClosedPortAnswersMinusOneAndTouchesNothing) {
    std::uint8_t byte = 0;
    EXPECT_EQ(comm.Write(&byte, 1), -1);
    EXPECT_EQ(comm.Read(&byte, 1), -1);
    EXPECT_EQ(comm.InQueCount(), -1);
    EXPECT_EQ(comm.OutQueCount(), -1);
    comm.PurgeIn();
    comm.PurgeOut();
    comm.Close();
    comm.SetBaudRate(br115200);
    comm.SetParity(paEven);
    comm.SetStopBits(sb20);
    comm.SetDataBits(da7);
    comm.SetOptions({coParityCheck});
    comm.SetFlowControl(fcNone);
    comm.EventChars().SetXOnChar(1);
    EXPECT_FALSE(comm.GetModemState(1));
    EXPECT_FALSE(comm.GetComState(1));
    EXPECT_TRUE(api.Calls().empty());
    EXPECT_EQ(comm.BaudRate(), br115200);
    EXPECT_EQ(comm.DataBits(), da7);

    // The values stored meanwhile are the ones the next Open applies.
    comm.Open();
    EXPECT_EQ(api.LastDcb().BaudRate, 115200u);
    EXPECT_EQ(api.LastDcb().Parity, 2);
    EXPECT_EQ(api.LastDcb().XonChar, 1);
}

TEST_F(TThreadCommTest, LineSettersOnAClosedPortRaisePortNotOpen) {
    const std::vector<std::function<void()>> setters = {
        [&] { comm.SetDTRState(true); },  [&] { comm.SetRTSState(false); }, [&] { comm.SetBREAKState(true); },
        [&] { comm.SetXONState(true); }, [&] { comm.EscapeComm(SETDTR); },
    };
    for (const auto& setter : setters)
        EXPECT_EQ(Raised(setter), "Port not open (Error: -1)");
}

TEST_F(TThreadCommTest, OpensConfiguresAndStartsWatching) {
    comm.SetReadBufSize(40960);
    comm.SetWriteBufSize(32);
    comm.SetMonitorEvents({evRxChar, evTxEmpty});
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));

    const std::vector<std::string> opening = {
        "CreateFile",   "IsCharacterDevice", "SetCommMask", "SetCommTimeouts", "SetupComm",
        "GetCommState", "SetCommState",      "SetupComm",   "SetCommMask",     "WaitCommEvent",
    };
    EXPECT_EQ(api.Calls(), opening);
    // All nine events first, then the ones the thread watches.
    EXPECT_EQ(api.Masks(), (std::vector<std::uint32_t>{0x01FF, EV_RXCHAR | EV_TXEMPTY}));
    EXPECT_EQ(api.QueueSizes(), (std::pair<std::uint32_t, std::uint32_t>{40960, 32}));
}

TEST_F(TThreadCommTest, APortThatCannotBeOpenedStaysClosedWithoutError) {
    comm.SetDeviceName(QStringLiteral("\\\\.\\COM9"));
    EXPECT_EQ(Raised([&] { comm.Open(); }), "");
    EXPECT_FALSE(comm.Enabled());

    // Another program holds it.
    comm.SetDeviceName(Port);
    TComm first(api);
    first.SetDeviceName(Port);
    first.Open();
    ASSERT_TRUE(first.Enabled());
    EXPECT_EQ(Raised([&] { comm.Open(); }), "");
    EXPECT_FALSE(comm.Enabled());
}

TEST_F(TThreadCommTest, ADeviceThatIsNotACharacterDeviceIsClosedAgain) {
    api.AddDevice(QStringLiteral("file"), false);
    comm.SetDeviceName(QStringLiteral("file"));
    comm.Open();
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(api.OpenHandles(), 0);
    EXPECT_EQ(CallsOf("SetCommState"), 0);
}

TEST_F(TThreadCommTest, OpenOnAnOpenPortRaisesAndChangesNothing) {
    OpenPort();
    EXPECT_EQ(Raised([&] { comm.Open(); }), "Port already assigned (open) (Error: -1)");
    EXPECT_EQ(Raised([&] { comm.CheckOpen(); }), "Port already assigned (open) (Error: -1)");
    EXPECT_TRUE(comm.Enabled());
    EXPECT_EQ(api.OpenHandles(), 1);
    EXPECT_EQ(CallsOf("CreateFile"), 0);
    comm.Close();
    EXPECT_EQ(Raised([&] { comm.CheckOpen(); }), "");
}

TEST_F(TThreadCommTest, ClosedOnlySettingsAreIgnoredWhileOpen) {
    OpenPort();
    comm.SetDeviceName(QStringLiteral("\\\\.\\COM4"));
    comm.SetReadBufSize(100);
    comm.SetWriteBufSize(100);
    comm.SetSuspendTime(50);
    comm.SetMonitorEvents({evCts});
    comm.Close();
    api.AddDevice(QStringLiteral("\\\\.\\COM4"));
    comm.Open();

    EXPECT_EQ(comm.DeviceName(), Port);
    EXPECT_EQ(comm.ReadBufSize(), 4096);
    EXPECT_EQ(comm.WriteBufSize(), 2048);
    EXPECT_EQ(comm.SuspendTime(), 5u);
    EXPECT_EQ(comm.MonitorEvents().Bits(), 0x01FF);
    EXPECT_EQ(api.QueueSizes(), (std::pair<std::uint32_t, std::uint32_t>{4096, 2048}));
    EXPECT_EQ(api.Masks().back(), 0x01FFu);
}

TEST_F(TThreadCommTest, FillsTheLineSettingsFromEveryValue) {
    struct Rate {
        TBaudRate rate;
        std::uint32_t baud;
        std::uint32_t multiplier;
    };
    const std::vector<Rate> rates = {
        {br110, 110, 19200},       {br300, 300, 19200},       {br600, 600, 9600},        {br1200, 1200, 6400},
        {br2400, 2400, 4800},      {br4800, 4800, 3840},      {br9600, 9600, 3200},      {br14400, 12800, 2742},
        {br19200, 19200, 2400},    {br38400, 38400, 2133},    {br56000, 56000, 1920},    {br57600, 57600, 1745},
        {br115200, 115200, 1600},  {br128000, 128000, 1476},  {br256000, 256000, 1371},
    };
    OpenPort();
    for (const Rate& rate : rates) {
        comm.SetBaudRate(rate.rate);
        EXPECT_EQ(api.LastDcb().BaudRate, rate.baud) << rate.rate;
        EXPECT_EQ(WriteTimeoutMultiplier(rate.rate), rate.multiplier) << rate.rate;
    }
    for (TParity parity : {paNone, paOdd, paEven, paMark, paSpace}) {
        comm.SetParity(parity);
        EXPECT_EQ(api.LastDcb().Parity, parity);
    }
    for (TStopBits stopBits : {sb10, sb15, sb20}) {
        comm.SetStopBits(stopBits);
        EXPECT_EQ(api.LastDcb().StopBits, stopBits);
    }
    for (TDataBits dataBits : {da4, da5, da6, da7, da8}) {
        comm.SetDataBits(dataBits);
        EXPECT_EQ(api.LastDcb().ByteSize, 4 + dataBits);
    }

    struct Option {
        TCommOption option;
        bool DCB::*field;
    };
    const std::vector<Option> options = {
        {coParityCheck, &DCB::fParity},         {coDsrSensitivity, &DCB::fDsrSensitivity},
        {coIgnoreXOff, &DCB::fTXContinueOnXoff}, {coErrorChar, &DCB::fErrorChar},
        {coNullStrip, &DCB::fNull},
    };
    for (const Option& each : options) {
        comm.SetOptions({each.option});
        for (const Option& other : options)
            EXPECT_EQ(api.LastDcb().*other.field, other.option == each.option) << each.option << " " << other.option;
    }
    comm.SetOptions({});
    for (const Option& other : options)
        EXPECT_FALSE(api.LastDcb().*other.field);
}

TEST_F(TThreadCommTest, KeepsWhatTheDriverReportsBesideTheSettings) {
    api.driverDcb.fBinary = true;
    api.driverDcb.fOutxCtsFlow = true;
    api.driverDcb.fOutxDsrFlow = true;
    api.driverDcb.fDtrControl = 2;
    api.driverDcb.fRtsControl = 2;
    api.driverDcb.fOutX = true;
    api.driverDcb.fInX = true;
    api.driverDcb.fAbortOnError = true;
    comm.EventChars().SetErrorChar('?');
    comm.EventChars().SetEofChar(26);
    comm.EventChars().SetEvtChar('\n');
    comm.Open();

    DCB expected = api.driverDcb;
    expected.BaudRate = 9600;
    expected.ByteSize = 8;
    expected.Parity = 0;
    expected.StopBits = 0;
    expected.XonChar = 17;
    expected.XoffChar = 19;
    expected.ErrorChar = '?';
    expected.EofChar = 26;
    expected.EvtChar = '\n';
    expected.XonLim = 1024;
    expected.XoffLim = 1024;
    EXPECT_EQ(api.LastDcb(), expected);

    // No flow-control mode changes the line.
    for (TFlowControl mode : {fcNone, fcCTS, fcDTR, fcSoftware, fcDefault}) {
        comm.SetFlowControl(mode);
        EXPECT_EQ(api.LastDcb(), expected) << mode;
    }
}

TEST_F(TThreadCommTest, LineSettingsReapplyAtOnceOnlyWhenTheyChange) {
    OpenPort();
    comm.SetBaudRate(br9600);
    comm.SetParity(paNone);
    EXPECT_EQ(CallsOf("SetCommState"), 0);

    comm.SetStopBits(sb20);
    EXPECT_EQ(CallsOf("SetCommState"), 1);
    EXPECT_EQ(api.LastDcb().StopBits, 2);
    // The characters re-apply on every assignment.
    comm.EventChars().SetXOffChar(19);
    EXPECT_EQ(CallsOf("SetCommState"), 2);

}

TEST_F(TThreadCommTest, TimeoutsWaitForReadsAndAllowWritesByRate) {
    comm.SetBaudRate(br115200);
    comm.SetReadTimeout(250);
    comm.SetWriteTimeout(7);  // kept, but nothing uses it
    comm.Open();
    COMMTIMEOUTS expected;
    expected.ReadIntervalTimeout = std::numeric_limits<std::uint32_t>::max();
    expected.ReadTotalTimeoutMultiplier = 0;
    expected.ReadTotalTimeoutConstant = 250;
    expected.WriteTotalTimeoutMultiplier = 1600;
    expected.WriteTotalTimeoutConstant = 0;
    EXPECT_EQ(api.LastTimeouts(), expected);
}

TEST_F(TThreadCommTest, RaisesEachErrorWithItsCode) {
    struct Case {
        const char* call;
        std::uint32_t error;
        int times;
        std::string message;
        bool openAfter;
    };
    // SetupComm is asked twice while opening; the first answer is ignored.
    const std::vector<Case> cases = {
        {"SetCommTimeouts", 87, 1, "Error updating CommTimeouts (Error: 87)", false},
        {"SetCommState", 31, 1, "Error updating DataControlBlock (Error: 31)", false},
        {"SetupComm", 5, 2, "Error initializing Read/Write Buffers (Error: 5)", true},
        {"SetupComm", 5, 1, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        api.Fail(c.call, c.error, c.times);
        EXPECT_EQ(Raised([&] { comm.Open(); }), c.message);
        EXPECT_EQ(comm.Enabled(), c.openAfter);
        EXPECT_EQ(api.OpenHandles(), c.openAfter ? 1 : 0);
        if (c.openAfter) {
            EXPECT_TRUE(PumpUntil([&] { return api.Waiting(); })) << "the port is watched";
        }
        // Close works in every state a failed Open leaves, and the port
        // opens cleanly afterwards.
        comm.Close();
        EXPECT_FALSE(comm.Enabled());
        comm.Open();
        EXPECT_TRUE(comm.Enabled());
        comm.Close();
        EXPECT_EQ(api.OpenHandles(), 0);
    }

    OpenPort();
    api.Fail("EscapeCommFunction", 1);
    EXPECT_EQ(Raised([&] { comm.SetRTSState(true); }), "EscapeCommFunction failure (Error: 1)");
    api.Fail("SetCommState", 0xFFFFFFFF);
    EXPECT_EQ(Raised([&] { comm.SetParity(paOdd); }), "Error updating DataControlBlock (Error: -1)");
    EXPECT_EQ(comm.Parity(), paOdd);
}

TEST_F(TThreadCommTest, WritesAndCompletesPendingWrites) {
    OpenPort();
    const std::vector<std::uint8_t> bytes = {0x01, 0xFE};
    EXPECT_EQ(comm.Write(bytes.data(), 2), 2);

    // Pending: polled without waiting until it ends.
    api.Pend(CommTransfer::Write, {3, 0});
    api.ClearCalls();
    EXPECT_EQ(comm.Write(bytes.data(), 2), 2);
    EXPECT_EQ(CallsOf("GetOverlappedResult"), 4);
    EXPECT_EQ(CallsOf("GetOverlappedResult(wait)"), 0);
    EXPECT_EQ(CallsOf("ClearCommError"), 0);
    EXPECT_EQ(api.Sent(), (std::vector<std::uint8_t>{0x01, 0xFE, 0x01, 0xFE}));

    // A pending write that fails still reports what it moved, and the
    // error state is cleared.
    api.Pend(CommTransfer::Write, {1, 1117});
    api.ClearCalls();
    EXPECT_EQ(comm.Write(bytes.data(), 2), 2);
    EXPECT_EQ(CallsOf("ClearCommError"), 1);

    // A write that fails at once moves nothing.
    api.Fail("WriteFile", 1117);
    api.ClearCalls();
    EXPECT_EQ(comm.Write(bytes.data(), 2), 0);
    EXPECT_EQ(CallsOf("ClearCommError"), 1);
}

TEST_F(TThreadCommTest, ReadsClearingTheErrorStateFirst) {
    OpenPort();
    api.Receive({1, 2, 3, 4, 5});
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(comm.Read(buffer, 3), 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(api.Calls(), (std::vector<std::string>{"ClearCommError", "ReadFile"}));

    // Fewer than asked: the count that came.
    EXPECT_EQ(comm.Read(buffer, 8), 2);
    EXPECT_EQ(buffer[0], 4);

    api.ClearCalls();
    EXPECT_EQ(comm.Read(buffer, 0), 0);
    EXPECT_EQ(api.Calls(), (std::vector<std::string>{"ClearCommError", "ClearCommError"}));

    // Pending: waited for, as often as it answers "incomplete".
    api.Receive({9, 9});
    api.Pend(CommTransfer::Read, {2, 0});
    api.ClearCalls();
    EXPECT_EQ(comm.Read(buffer, 2), 2);
    EXPECT_EQ(CallsOf("GetOverlappedResult(wait)"), 3);

    api.Receive({7});
    api.Pend(CommTransfer::Read, {0, 1117});
    api.ClearCalls();
    EXPECT_EQ(comm.Read(buffer, 2), 1);
    EXPECT_EQ(CallsOf("ClearCommError"), 2);

    api.Fail("ReadFile", 1117);
    EXPECT_EQ(comm.Read(buffer, 2), 0);
}

TEST_F(TThreadCommTest, CountsAndPurgesTheQueues) {
    OpenPort();
    api.Receive({1, 2, 3});
    api.SetOutputQueue(7);
    EXPECT_EQ(comm.InQueCount(), 3);
    EXPECT_EQ(comm.OutQueCount(), 7);
    comm.PurgeIn();
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.PurgeOut();
    EXPECT_EQ(comm.OutQueCount(), 0);
    comm.SetBREAKState(true);
    comm.SetBREAKState(false);
    EXPECT_EQ(api.Purges(), (std::vector<std::uint32_t>{0x0A, 0x05, 0x0F, 0x0F}));
    EXPECT_EQ(api.Escapes(), (std::vector<std::uint32_t>{SETBREAK, CLRBREAK}));
}

TEST_F(TThreadCommTest, DrivesTheLinesWithTheirEscapeCodes) {
    OpenPort();
    struct Case {
        std::function<void()> set;
        std::uint32_t code;
    };
    const std::vector<Case> cases = {
        {[&] { comm.SetDTRState(true); }, 5}, {[&] { comm.SetDTRState(false); }, 6},
        {[&] { comm.SetRTSState(true); }, 3}, {[&] { comm.SetRTSState(false); }, 4},
        {[&] { comm.SetXONState(true); }, 2}, {[&] { comm.SetXONState(false); }, 1},
    };
    for (const Case& c : cases) {
        c.set();
        EXPECT_EQ(api.Escapes().back(), c.code);
    }
}

TEST_F(TThreadCommTest, ReadsModemLinesAndHoldsBySelector) {
    OpenPort();
    struct Case {
        bool cts, dsr, ring, rlsd;
        std::vector<bool> bySelector;  // selectors 0 to 5
    };
    const std::vector<Case> cases = {
        {true, true, true, true, {false, true, true, true, true, false}},
        {true, false, false, false, {false, true, false, false, false, false}},
        {false, true, false, true, {false, false, true, false, true, false}},
        {false, false, true, false, {false, false, false, true, false, false}},
    };
    for (const Case& c : cases) {
        api.SetInputLines(c.cts, c.dsr, c.ring, c.rlsd);
        for (int selector = 0; selector < 6; ++selector)
            EXPECT_EQ(comm.GetModemState(selector), c.bySelector[selector]) << selector;
    }
    api.Fail("GetCommModemStatus", 5);
    EXPECT_FALSE(comm.GetModemState(1));

    COMSTAT holds;
    holds.fCtsHold = true;
    holds.fXoffSent = true;
    api.SetHolds(holds);
    const std::vector<bool> bySelector = {true, true, false, false, false, true, true};  // 0 to 6
    for (int selector = 0; selector < 7; ++selector)
        EXPECT_EQ(comm.GetComState(selector), bySelector[selector]) << selector;
}

// Each assigned handler logs its name with what it was given.
class TThreadCommEventsTest : public TThreadCommTest {
protected:
    TThreadCommEventsTest() {
        const auto notify = [this](const char* name) {
            return [this, name](QObject* sender) { Log(sender, name); };
        };
        comm.OnBreak = notify("Break");
        comm.OnCts = notify("Cts");
        comm.OnDsr = notify("Dsr");
        comm.OnError = [this](QObject* sender, int errors) { Log(sender, "Error " + std::to_string(errors)); };
        comm.OnRing = notify("Ring");
        comm.OnRlsd = notify("Rlsd");
        comm.OnRxChar = [this](QObject* sender, std::uint32_t count) { Log(sender, "RxChar " + std::to_string(count)); };
        comm.OnRxFlag = notify("RxFlag");
        comm.OnTxEmpty = notify("TxEmpty");
        comm.OnComStatEvent = [this](QObject* sender, std::uint32_t status, const COMSTAT& stat) {
            Log(sender, "ComStat " + std::to_string(status) + " in " + std::to_string(stat.cbInQue));
        };
    }

    void Log(QObject* sender, const std::string& entry) {
        EXPECT_EQ(sender, &comm);
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        fired.push_back(entry);
    }

    std::vector<std::string> fired;
};

TEST_F(TThreadCommEventsTest, DispatchesEachEventWordInOrder) {
    OpenPort();
    struct Case {
        std::uint32_t events;
        std::vector<std::uint8_t> waiting;
        std::vector<std::string> fired;
    };
    const std::vector<Case> cases = {
        {0x01FF, {1, 2}, {"Break", "Cts", "Dsr", "Error 8", "Ring", "Rlsd", "RxChar 2", "RxFlag", "TxEmpty",
                          "ComStat 511 in 2"}},
        {EV_RXCHAR | EV_TXEMPTY, {}, {"TxEmpty", "ComStat 5 in 0"}},
        {EV_RXCHAR, {7}, {"RxChar 1", "ComStat 1 in 1"}},
        {0, {}, {"ComStat 0 in 0"}},
    };
    for (const Case& c : cases) {
        comm.PurgeIn();
        api.Receive(c.waiting);
        api.SetErrors(CE_FRAME);
        fired.clear();
        comm.HandleCommEvent(nullptr, c.events);
        EXPECT_EQ(fired, c.fired) << c.events;
    }
}

TEST_F(TThreadCommEventsTest, HandsLineEventsOverToTheUiThread) {
    OpenPort();
    api.Receive({1, 2, 3});
    api.RaiseEvents(EV_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return fired.size() == 2; }));
    EXPECT_EQ(fired, (std::vector<std::string>{"RxChar 3", "ComStat 1 in 3"}));

    // Watching goes on after each hand-over.
    api.RaiseEvents(EV_TXEMPTY);
    ASSERT_TRUE(PumpUntil([&] { return fired.size() == 4; }));
    EXPECT_EQ(fired[2], "TxEmpty");
}

TEST_F(TThreadCommEventsTest, CloseDropsAHandOverAlreadyQueued) {
    OpenPort();
    api.RaiseEvents(EV_TXEMPTY);
    // The thread queues its hand-over and waits for the UI thread, which
    // closes the port before it serves its events.
    ASSERT_TRUE(WaitWithoutPumping([&] { return !api.Waiting(); }));
    comm.Close();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(api.OpenHandles(), 0);
    // The thread's last act: both directions purged.
    EXPECT_EQ(api.Purges().back(), 0x0Fu);
}

TEST_F(TThreadCommEventsTest, AHandlerMayCloseThePort) {
    OpenPort();
    comm.OnTxEmpty = [this](QObject*) { comm.Close(); };
    api.RaiseEvents(EV_TXEMPTY);
    ASSERT_TRUE(PumpUntil([&] { return !comm.Enabled(); }));
    EXPECT_EQ(api.OpenHandles(), 0);
}

TEST_F(TThreadCommTest, ClosesAndReopensWithANewEventThread) {
    for (int round = 0; round < 3; ++round) {
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
        ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));
        comm.Close();
        EXPECT_FALSE(comm.Enabled());
        EXPECT_FALSE(api.Waiting());
        EXPECT_EQ(api.OpenHandles(), 0);
    }
    {
        TComm owned(api);
        owned.SetDeviceName(Port);
        owned.Open();
        ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));
    }
    EXPECT_EQ(api.OpenHandles(), 0) << "the destructor closes the port";
}

}  // namespace
