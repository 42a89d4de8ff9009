#include "transport/ComPortOpening.h"

#include "platform/MessageBox.h"
#include "transport/TComm.h"

#include "support/FakeCommApi.h"
#include "support/FakeEnvironment.h"
#include "support/RecordingMainView.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace MessageBox;

QString Device(int n) {
    return QStringLiteral("\\\\.\\COM%1").arg(n);
}

class ComPortOpeningTest : public ::testing::Test {
protected:
    // COM3 present, with a meter: CTS follows RTS, DSR stays off.
    ComPortOpeningTest() {
        ports.names = {"COM3"};
        api.AddDevice(Device(3));
        api.LoopRtsToCts();
    }

    std::vector<QString> Questions() const {
        std::vector<QString> texts;
        for (const auto& box : boxes.shown)
            texts.push_back(box.text);
        return texts;
    }

    FakeCommApi api;
    TComm comm{api};
    ListedComPorts ports;
    RecordingMainView view;
    ScriptedMessageBoxes boxes;
    RecordingProcessExit exit;
    ComPortOpening opening{comm, ports, view, boxes, exit};
};

TEST_F(ComPortOpeningTest, ListsAtMostTwentyPortsAscending) {
    ports.names = {"COM1", "COM10", "COM3"};
    EXPECT_EQ(opening.EnumComPorts(), 3);
    EXPECT_EQ(opening.PortNumbers(), (std::vector<int>{1, 3, 10}));

    // The system lists 25: only the first 20 it gives count.
    ports.names.clear();
    for (int n = 25; n >= 1; --n)
        ports.names << QStringLiteral("COM%1").arg(n);
    EXPECT_EQ(opening.EnumComPorts(), 20);
    EXPECT_EQ(opening.PortNumbers().front(), 6);
    EXPECT_EQ(opening.PortNumbers().back(), 25);

    ports.names.clear();
    EXPECT_EQ(opening.EnumComPorts(), 0);
    EXPECT_TRUE(opening.PortNumbers().empty());
}

TEST_F(ComPortOpeningTest, ANameWithoutANumberEndsTheListing) {
    ports.names = {"COM1", "COMx"};
    try {
        opening.EnumComPorts();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "'x' is not a valid integer value");
    }
}

TEST_F(ComPortOpeningTest, TestsTheLineQuietly) {
    struct Case {
        const char* name;
        bool loopBack;
        bool cts;
        bool dsr;
        int result;
    };
    const Case cases[] = {
        {"loop-back plug, DSR off", true, false, false, ComPortOpening::Opened},
        {"nothing attached", false, false, false, ComPortOpening::NoMeter},
        {"CTS always on", false, true, false, ComPortOpening::NoMeter},
        {"loop-back plug, DSR on", true, false, true, ComPortOpening::NoMeter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        opening.ClosePortIfOpen();
        api.LoopRtsToCts(c.loopBack);
        api.SetInputLines(c.cts, c.dsr);
        EXPECT_EQ(opening.OpenComPort(3, true), c.result);
        EXPECT_TRUE(comm.Enabled()) << "the port stays open";
        EXPECT_EQ(comm.DeviceName(), Device(3));
        EXPECT_EQ(comm.BaudRate(), br115200);
        EXPECT_FALSE(api.ModemLines().rts);
        EXPECT_TRUE(api.ModemLines().dtr);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ComPortOpeningTest, AMissingOrBusyPortIsNotOpenedQuietly) {
    EXPECT_EQ(opening.OpenComPort(4, true), ComPortOpening::NotPresent);
    EXPECT_FALSE(comm.Enabled());
    EXPECT_TRUE(api.Calls().empty());

    TComm other(api);
    other.SetDeviceName(Device(3));
    other.Open();
    EXPECT_EQ(opening.OpenComPort(3, true), ComPortOpening::CannotOpen);
    EXPECT_FALSE(comm.Enabled());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ComPortOpeningTest, AsksAtEachFailureAndRetryTriesAgain) {
    const QString missing =
        "Выбранный COM-порт (COM7) не существует. \nЧтение из прибора невозможно.\nПродолжить выполнение?";
    const QString busy =
        "Выбранный COM-порт (COM7) открыт другой программой. \nЧтение из прибора невозможно.\nПродолжить выполнение?";
    const QString noMeter = "Прибор не подключен к порту COM7.\nСвязь с прибором невозможна.\nПродолжить выполнение?";

    // COM7 is not listed; Retry opens it all the same (it does exist).
    api.AddDevice(Device(7));
    api.LoopRtsToCts(false);
    boxes.answers = {IDRETRY, IDRETRY, IDIGNORE};
    EXPECT_EQ(opening.OpenComPort(7, false), ComPortOpening::NoMeter);
    EXPECT_EQ(Questions(), (std::vector<QString>{missing, noMeter, noMeter}));
    EXPECT_TRUE(comm.Enabled()) << "Ignore leaves the port open";
    EXPECT_EQ(boxes.shown[0].caption, "ВЕЛ. Плотномер асфальта");
    EXPECT_EQ(boxes.shown[0].type, MB_ABORTRETRYIGNORE | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TASKMODAL);
    // Two line tests: RTS on, DTR off ... RTS off, DTR on, each time.
    EXPECT_EQ(api.Escapes(), (std::vector<std::uint32_t>{SETRTS, CLRDTR, CLRRTS, SETDTR, SETRTS, CLRDTR, CLRRTS,
                                                         SETDTR}));

    // Held by another program: Retry opens again.
    opening.ClosePortIfOpen();
    boxes.shown.clear();
    TComm other(api);
    other.SetDeviceName(Device(7));
    other.Open();
    boxes.answers = {IDRETRY, IDRETRY, IDIGNORE};
    EXPECT_EQ(opening.OpenComPort(7, false), ComPortOpening::CannotOpen);
    EXPECT_EQ(Questions(), (std::vector<QString>{missing, busy, busy}));
    EXPECT_FALSE(comm.Enabled());
    EXPECT_TRUE(exit.codes.empty());
}

TEST_F(ComPortOpeningTest, AbortEndsTheProgramWithExitCodeOne) {
    struct Case {
        const char* name;
        int port;
        bool meter;
    };
    for (const Case& c : {Case{"missing", 9, true}, Case{"no meter", 3, false}}) {
        SCOPED_TRACE(c.name);
        opening.ClosePortIfOpen();
        api.LoopRtsToCts(c.meter);
        exit.codes.clear();
        boxes.answers = {IDABORT};
        opening.OpenComPort(c.port, false);
        EXPECT_EQ(exit.codes, (std::vector<int>{1}));
    }
}

TEST_F(ComPortOpeningTest, ClosesOnlyAnOpenPort) {
    opening.ClosePortIfOpen();
    EXPECT_TRUE(api.Calls().empty());
    ASSERT_EQ(opening.OpenComPort(3, true), ComPortOpening::Opened);
    opening.ClosePortIfOpen();
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(api.OpenHandles(), 0);
}

}  // namespace
