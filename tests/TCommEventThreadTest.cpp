#include "transport/TCommEventThread.h"

#include "support/FakeCommApi.h"
#include "support/PumpUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QString Port = QStringLiteral("port");


class TCommEventThreadTest : public ::testing::Test {
protected:
    TCommEventThreadTest() {
        api.AddDevice(Port);
        handle = api.CreateFile(Port);
    }
    ~TCommEventThreadTest() override { api.CloseHandle(handle); }

    int CallsOf(const std::string& name) const {
        const auto calls = api.Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }

    FakeCommApi api;
    CommHandle handle = InvalidCommHandle;
};

TEST_F(TCommEventThreadTest, SetsTheMaskAndWaitsOnlyOnceStarted) {
    TCommEventThread thread(api, handle, 5, EV_RXCHAR | EV_TXEMPTY);
    EXPECT_EQ(api.Masks(), (std::vector<std::uint32_t>{EV_RXCHAR | EV_TXEMPTY}));
    EXPECT_EQ(thread.SuspendTime(), 5u);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(CallsOf("WaitCommEvent"), 0);
    thread.Start();
    EXPECT_TRUE(PumpUntil([&] { return api.Waiting(); }));
}

TEST_F(TCommEventThreadTest, HandsEachEventOverAndWaitsUntilItWasHandled) {
    TCommEventThread thread(api, handle, 5, 0x01FF);
    std::vector<std::uint32_t> words;
    std::vector<TCommEventThread*> senders;
    thread.SetCallback([&](TCommEventThread* sender, std::uint32_t events) {
        senders.push_back(sender);
        words.push_back(events);
    });
    thread.Start();
    ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));

    api.RaiseEvents(EV_CTS | EV_DSR);
    // Not handled while the UI thread serves no events: the thread waits
    // for it and starts no new wait.
    ASSERT_TRUE(WaitWithoutPumping([&] { return !api.Waiting(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(words.empty());
    EXPECT_EQ(CallsOf("WaitCommEvent"), 1);

    ASSERT_TRUE(PumpUntil([&] { return !words.empty() && api.Waiting(); }));
    EXPECT_EQ(words, (std::vector<std::uint32_t>{EV_CTS | EV_DSR}));
    EXPECT_EQ(senders, (std::vector<TCommEventThread*>{&thread}));
}

TEST_F(TCommEventThreadTest, StopReleasesAPendingWaitAndAPendingHandOver) {
    std::atomic<int> handled{0};
    {
        TCommEventThread thread(api, handle, 5, 0x01FF);
        thread.SetCallback([&](TCommEventThread*, std::uint32_t) { ++handled; });
        thread.Start();
        ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));
        thread.Stop();
        EXPECT_FALSE(api.Waiting());
        EXPECT_EQ(api.Purges(), (std::vector<std::uint32_t>{0x0F}));
    }
    // A hand-over the UI thread never served.
    api.CloseHandle(handle);
    handle = api.CreateFile(Port);
    {
        TCommEventThread thread(api, handle, 5, 0x01FF);
        thread.SetCallback([&](TCommEventThread*, std::uint32_t) { ++handled; });
        thread.Start();
        ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));
        api.RaiseEvents(EV_RXCHAR);
        // The thread takes the event and hands it over; the UI thread serves
        // nothing meanwhile.
        ASSERT_TRUE(WaitWithoutPumping([&] { return !api.Waiting(); }));
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, 0);
}

TEST_F(TCommEventThreadTest, ADeviceThatFailsEveryWaitDoesNotKeepTheThreadBusy) {
    api.Fail("WaitCommEvent", 31, 1000000);
    TCommEventThread thread(api, handle, 5, 0x01FF);
    thread.Start();
    std::this_thread::sleep_for(200ms);
    thread.Stop();
    // A pause after each failure allows a few dozen waits at most; without
    // it there would be hundreds of thousands.
    EXPECT_GT(CallsOf("WaitCommEvent"), 0);
    EXPECT_LT(CallsOf("WaitCommEvent"), 100);
}

}  // namespace
