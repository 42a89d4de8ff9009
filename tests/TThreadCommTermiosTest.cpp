#include "platform/CommApi.h"
#include "protocol/MeterCommands.h"
#include "protocol/SerialFrames.h"
#include "transport/TComm.h"

#include "support/PumpUntil.h"
#include "support/SimulatedSerialMeter.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <vector>

namespace {

// The port component over the program's own termios calls, on the
// pseudo-terminal of a simulated meter.
class TThreadCommTermiosTest : public ::testing::Test {
protected:
    TThreadCommTermiosTest() {
        // As the main window's Comm1 runs the meter link.
        comm.SetDeviceName(QString::fromStdString(meter.PortPath()));
        comm.SetReadBufSize(40960);
        comm.SetWriteBufSize(32);
        comm.SetMonitorEvents({evRxChar, evTxEmpty});
        comm.SetBaudRate(br115200);
        comm.SetStopBits(sb20);
        comm.SetFlowControl(fcNone);
    }

    // Sends the bytes and waits, serving events, until at least count bytes
    // of the answer wait.
    bool Ask(const std::vector<std::uint8_t>& command, int count) {
        if (comm.Write(command.data(), static_cast<std::uint32_t>(command.size())) !=
            static_cast<int>(command.size()))
            return false;
        return PumpUntil([&] { return comm.InQueCount() >= count; });
    }

    std::vector<std::uint8_t> ReadBytes(std::uint32_t count) {
        std::vector<std::uint8_t> bytes(count);
        const int n = comm.Read(bytes.data(), count);
        bytes.resize(static_cast<std::size_t>(std::max(n, 0)));
        return bytes;
    }

    SimulatedSerialMeter meter{VEL_SERIAL_SIMULATOR, {{"VELSIM_RECORDS", "3"}, {"VELSIM_IDENT_CHARS", "150311"}}};
    std::unique_ptr<CommApi> api = MakeTermiosCommApi();
    TComm comm{*api};
};

TEST_F(TThreadCommTermiosTest, OpensTheLineAt115200With8DataBitsAndTwoStopBits) {
    // A second look at the same terminal, opened before the component
    // takes it for itself.
    const int fd = ::open(meter.PortPath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    termios line{};
    ASSERT_EQ(tcgetattr(fd, &line), 0);
    ::close(fd);
    EXPECT_EQ(cfgetospeed(&line), B115200);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(line.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(line.c_cflag & PARENB, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u) << "raw, so nothing is echoed or held back";
}

TEST_F(TThreadCommTermiosTest, ExchangesFramesWithTheMeter) {
    comm.Open();
    ASSERT_TRUE(comm.Enabled());

    ASSERT_TRUE(Ask({IdentCommand.begin(), IdentCommand.end()}, IdentAnswerSize));
    const auto ident = BuildIdentAnswer({'1', '5', '0', '3', '1', '1'});
    EXPECT_EQ(ReadBytes(IdentAnswerSize), std::vector<std::uint8_t>(ident.begin(), ident.end()));
    EXPECT_EQ(comm.OutQueCount(), 0);

    ASSERT_TRUE(Ask({CountCommand.begin(), CountCommand.end()}, CountAnswerSize));
    const auto count = BuildCountAnswer(3);
    EXPECT_EQ(ReadBytes(CountAnswerSize), std::vector<std::uint8_t>(count.begin(), count.end()));

    const RecordRequest request = BuildRecordRequest(FirstRecordIndex);
    ASSERT_TRUE(Ask({request.begin(), request.end()}, RecordAnswerSize));
    const std::vector<std::uint8_t> record = ReadBytes(RecordAnswerSize);
    ASSERT_EQ(record.size(), RecordAnswerSize);
    const auto answer = CheckRecordAnswer(record);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->next, 1);
    EXPECT_EQ(comm.InQueCount(), 0);
}

TEST_F(TThreadCommTermiosTest, PurgeInDiscardsTheBytesThatWait) {
    comm.Open();
    ASSERT_TRUE(Ask({IdentCommand.begin(), IdentCommand.end()}, IdentAnswerSize));
    EXPECT_EQ(comm.InQueCount(), static_cast<int>(IdentAnswerSize));
    comm.PurgeIn();
    EXPECT_EQ(comm.InQueCount(), 0);
}

TEST_F(TThreadCommTermiosTest, AReadThatTimesOutReturnsTheBytesThatCame) {
    comm.SetReadTimeout(300);
    comm.Open();
    ASSERT_TRUE(Ask({IdentCommand.begin(), IdentCommand.end()}, IdentAnswerSize));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(ReadBytes(20).size(), IdentAnswerSize);
    EXPECT_GE(timer.elapsed(), 250) << "it waited for the rest";
}

TEST_F(TThreadCommTermiosTest, ASecondOpenOfTheSameDeviceFails) {
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    const std::unique_ptr<CommApi> otherApi = MakeTermiosCommApi();
    TComm other(*otherApi);
    other.SetDeviceName(comm.DeviceName());
    other.Open();
    EXPECT_FALSE(other.Enabled());
    comm.Close();
    other.Open();
    EXPECT_TRUE(other.Enabled()) << "free again once closed";
}

TEST_F(TThreadCommTermiosTest, ClosesAndReopensWithANewEventThread) {
    int arrivals = 0;
    comm.OnRxChar = [&](QObject*, std::uint32_t) { ++arrivals; };
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
        ASSERT_TRUE(Ask({IdentCommand.begin(), IdentCommand.end()}, IdentAnswerSize));
        // The event thread of this opening reports the answer.
        EXPECT_TRUE(PumpUntil([&] { return arrivals >= round; }));
        EXPECT_EQ(ReadBytes(IdentAnswerSize).size(), IdentAnswerSize);
        comm.Close();
        EXPECT_FALSE(comm.Enabled());
        EXPECT_EQ(comm.InQueCount(), -1);
    }
}

}  // namespace
