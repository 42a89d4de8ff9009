#include "app/MessageTable.h"

#include <gtest/gtest.h>

namespace {

struct LanguageGuard {
    ~LanguageGuard() { LanguageIndex = 0; }
};

TEST(MessageTable, RussianUnlessTheIndexSaysOtherwise) {
    LanguageGuard guard;
    EXPECT_EQ(LanguageIndex, 0);
    EXPECT_EQ(MessageText(TextReportTitle), QStringLiteral("Измеренные значения плотности"));
    EXPECT_EQ(MessageText(TextDate), QStringLiteral("Дата"));
    EXPECT_EQ(MessageText(TextRecordsLoaded), QStringLiteral("Считано записей: "));  // trailing blank kept
    LanguageIndex = 1;
    EXPECT_EQ(MessageText(TextReportTitle), QStringLiteral("Meassured debsity values"));
    EXPECT_EQ(MessageText(TextDate), QStringLiteral("Date"));
    EXPECT_EQ(MessageText(TextRecordsLoaded), QStringLiteral("Records loaded: "));
}

}  // namespace
