#include "transport/TCommEventChars.h"
#include "transport/TComm.h"

#include "support/FakeCommApi.h"
#include "support/PumpUntil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString Port = QStringLiteral("\\\\.\\COM1");

int SetCommStateCalls(const FakeCommApi& api) {
    const auto calls = api.Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), "SetCommState"));
}

TEST(TCommEventCharsTest, DefaultsAreXOnDc1AndXOffDc3) {
    FakeCommApi api;
    TComm comm(api);
    const TCommEventChars& chars = comm.EventChars();
    EXPECT_EQ(chars.XOnChar(), 17);
    EXPECT_EQ(chars.XOffChar(), 19);
    EXPECT_EQ(chars.ErrorChar(), 0);
    EXPECT_EQ(chars.EofChar(), 0);
    EXPECT_EQ(chars.EvtChar(), 0);
}

TEST(TCommEventCharsTest, EachSetterReappliesTheLineAndCopyingDoesNot) {
    FakeCommApi api;
    api.AddDevice(Port);
    TComm comm(api);
    comm.SetDeviceName(Port);
    comm.Open();
    ASSERT_TRUE(PumpUntil([&] { return api.Waiting(); }));
    api.ClearCalls();

    TCommEventChars& chars = comm.EventChars();
    chars.SetXOnChar('a');
    chars.SetXOffChar('b');
    chars.SetErrorChar('c');
    chars.SetEofChar('d');
    chars.SetEvtChar('e');
    // Even assigning the value it already has.
    chars.SetEvtChar('e');
    EXPECT_EQ(SetCommStateCalls(api), 6);
    const DCB dcb = api.LastDcb();
    EXPECT_EQ(std::string({dcb.XonChar, dcb.XoffChar, dcb.ErrorChar, dcb.EofChar, dcb.EvtChar}), "abcde");

    TComm other(api);
    other.EventChars().SetErrorChar('?');
    chars = other.EventChars();
    EXPECT_EQ(SetCommStateCalls(api), 6);
    EXPECT_EQ(chars.XOnChar(), 17);
    EXPECT_EQ(chars.XOffChar(), 19);
    EXPECT_EQ(chars.ErrorChar(), '?');
    EXPECT_EQ(chars.EofChar(), 0);
    EXPECT_EQ(chars.EvtChar(), 0);
}

}  // namespace
