#include "archive/MeasurementTexts.h"

#include "support/Records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(MeasurementTexts, DensityPictureRoundsHalfAwayFromZero) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {2345.678f, "2345,68"},
        {0.004f, "0,00"},
        {0.005f, "0,00"},     // 0.005f is a little below 0.005
        {0.125f, "0,13"},     // an exact half goes up
        {-0.125f, "-0,13"},   // and down for negatives
        {0.375f, "0,38"},
        {1.005f, "1,00"},     // 1.005f is a little below 1.005
        {0.0f, "0,00"},
        {-0.0f, "0,00"},
        {-0.004f, "0,00"},    // rounds to zero: no sign
        {-2.5f, "-2,50"},
        {99.995f, "100,00"},  // the carry runs into the integer part
        {9.999f, "10,00"},
        {2677.0f, "2677,00"},
        {123456789.0f, "123456792,00"},
        {1e18f, "999999984306749440,00"},
        {1e19f, "9,99999998050645E18"},  // beyond 18 integer digits: general format
        {-3e30f, "-2,99999989402667E30"},
        {std::numeric_limits<float>::infinity(), "INF"},
        {-std::numeric_limits<float>::infinity(), "-INF"},
        {std::nanf(""), "NAN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDensity(c.value), QString::fromUtf8(c.text)) << c.value;
}

TEST(MeasurementTexts, TemperaturePictureDropsAZeroIntegerPart) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {125.44f, "125,4"}, {0.46f, ",5"},    {-12.25f, "-12,3"}, {12.25f, "12,3"}, {0.0f, ",0"},
        {0.04f, ",0"},      {-0.04f, ",0"},   {-0.46f, "-,5"},    {0.96f, "1,0"},   {-0.95f, "-,9"}, {-0.96f, "-1,0"},
        {20.0f, "20,0"},    {-273.15f, "-273,1"},  // -273.15f is -273.149993...
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTemperature(c.value), QString::fromUtf8(c.text)) << c.value;
}

TEST(MeasurementTexts, RowTextsOfTheTableEdgeCases) {
    struct Case {
        TMeasurement record;
        const char* number;
        const char* timeDate;
        const char* density;
        const char* material;
        const char* temperature;
    };
    TMeasurement deleted = MakeRecord(7, 14, 5, DeletedMark, 3, 3, 11, 2100.0f, 1, 20.0f);
    const Case cases[] = {
        {MakeRecord(65535, 23, 59, 59, 31, 12, 99, 0.004f, 16, -12.25f), "65535", "23:59:59 (31 дек 2099)", "0,00",
         "Материал 8", "-12,3"},
        {MakeRecord(1, 14, 5, 9, 3, 3, 11, 2345.678f, 1, 125.44f), "1", "14:05:09 ( 3 мар 2011)", "2345,68",
         "Асфальт базовый", "125,4"},
        {MakeRecord(2, 9, 30, 0, 21, 12, 12, 1.0f, 2, 0.46f), "2", " 9:30:00 (21 дек 2012)", "1,00", "Асфальт 2", ",5"},
        {deleted, "7", "14:05:170 ( 3 мар 2011) - удалена", "2100,00", "Асфальт базовый", "20,0"},
        {MakeRecord(3, 1, 2, 3, 3, 0, 11, 0, 8, 0), "3", " 1:02:03 ( 3  2011)", "0,00", "Асфальт 8", ",0"},
        {MakeRecord(4, 1, 2, 3, 3, 13, 11, 0, 9, 0), "4", " 1:02:03 ( 3  2011)", "0,00", "Материал 1", ",0"},
        {MakeRecord(5, 0, 0, 0, 0, 1, 5, 0, 0, 0), "5", " 0:00:00 ( 0 янв 2005)", "0,00", "", ",0"},
        {MakeRecord(6, 0, 0, 0, 1, 5, 123, 0, 17, 0), "6", " 0:00:00 ( 1 мая 20123)", "0,00", "", ",0"},
        {MakeRecord(8, 0, 0, 0, 1, 6, 0, 0, 100, 0), "8", " 0:00:00 ( 1 июн 2000)", "0,00", "", ",0"},
        {MakeRecord(9, 0, 0, 0, 1, 9, 255, 0, -1, 0), "9", " 0:00:00 ( 1 сен 20255)", "0,00", "", ",0"},
        {MakeRecord(0, 255, 255, 255, 255, 255, 0, 0, -128, 0), "0", "255:255:255 (255  2000)", "0,00", "", ",0"},
    };
    for (const Case& c : cases) {
        const std::array<QString, 5> texts = MeasurementRowTexts(c.record);
        EXPECT_EQ(texts[0], QString::fromUtf8(c.number));
        EXPECT_EQ(texts[1], QString::fromUtf8(c.timeDate)) << c.number;
        EXPECT_EQ(texts[2], QString::fromUtf8(c.density)) << c.number;
        EXPECT_EQ(texts[3], QString::fromUtf8(c.material)) << c.number;
        EXPECT_EQ(texts[4], QString::fromUtf8(c.temperature)) << c.number;
    }
}

TEST(MeasurementTexts, MaterialNamesFitTheirSixteenByteSlots) {
    EXPECT_EQ(MaterialNames.size(), 17u);
    for (const char* name : MaterialNames)
        EXPECT_LE(QString::fromUtf8(name).size(), 15) << name;
}

}  // namespace
