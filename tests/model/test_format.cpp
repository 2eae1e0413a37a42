#include "model/Format.h"

#include "platform/Regional.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {
struct ScaledCase {
    int32_t value;
    int decimals;
    const char* point; // with '.'
    const char* comma; // with ','
};

TEST(FormatScaled, SlotTexts) {
    const ScaledCase cases[] = {
        {253, 1, "25.3", "25,3"},      // StatusWords[2]
        {-1, 4, "-0.0001", "-0,0001"}, // StatusWords[10] = 0xFFFF, signed
        {2500, 3, "2.500", "2,500"},   // SetupWords[9]
        {15, 1, "1.5", "1,5"},         // SetupWords[11]
        {64536, 0, "64536", "64536"},  // unsigned slot, no grouping
        {-1000, 0, "-1000", "-1000"},  // signed slot
        {0, 2, "0.00", "0,00"},
        {2718, 3, "2.718", "2,718"},
        {10000, 3, "10.000", "10,000"},
        {29, 2, "0.29", "0,29"},
        {65535, 4, "6.5535", "6,5535"},
        {60000, 1, "6000.0", "6000,0"},
        {INT32_MIN, 0, "-2147483648", "-2147483648"},
        {INT32_MAX, 1, "214748368.0", "214748368,0"}, // single precision: 214748364.7 is not kept
        {123456789, 4, "12345.6787", "12345,6787"},   // likewise
        {7, 5, "7", "7"},                             // no such format: the integer
    };
    for (const ScaledCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " d=" + std::to_string(c.decimals));
        EXPECT_EQ(FormatScaled(c.value, c.decimals, '.'), c.point);
        EXPECT_EQ(FormatScaled(c.value, c.decimals, ','), c.comma);
    }
}

TEST(FormatScaled, FollowsTheRegionalSeparator) {
    {
        ScopedRegionalOverride comma(',');
        EXPECT_EQ(FormatScaled(253, 1), "25,3");
        EXPECT_EQ(ApplyDecimalComma("1.2.3"), "1,2,3");
        EXPECT_EQ(FormatBatch(0, 23456, 7), "23,456/07");
    }
    ScopedRegionalOverride point('.');
    EXPECT_EQ(FormatScaled(253, 1), "25.3");
    EXPECT_EQ(ApplyDecimalComma("1.2.3"), "1.2.3");
}

TEST(ApplyDecimalComma, OnlyACommaSeparatorChangesTheText) {
    EXPECT_EQ(ApplyDecimalComma("25.3", ','), "25,3");
    EXPECT_EQ(ApplyDecimalComma("25.3", '.'), "25.3");
    EXPECT_EQ(ApplyDecimalComma("25.3", ';'), "25.3");
    EXPECT_EQ(ApplyDecimalComma("", ','), "");
}

struct BatchCase {
    int32_t high, low, suffix;
    const char* text;
};

TEST(FormatBatch, BatchTexts) {
    const BatchCase cases[] = {
        {0, 23456, 7, "23.456/07"},
        {0, 27813, 7, "27.813/07"},
        {30000, 40123, 3,
         "1966120.125/03"}, // 1966120123 thousandths lose digits in single precision
        {0, 99999, 99, "99.999/99"},
        {1, 4964, 0, "70.500/00"}, // 70500 = 1 * 65536 + 4964
        {0, 0, 0, "0.000/00"},
        {0, 1, 123, "0.001/123"},
        {0xFFFF, 0xFFFF, 5, "-0.001/05"}, // the 32-bit integer is signed
        {0x8000, 0, -5, "-2147483.750/-5"},
    };
    for (const BatchCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatBatch(c.high, c.low, c.suffix, '.'), c.text);
    }
    EXPECT_EQ(FormatBatch(0, 23456, 7, ','), "23,456/07");
    EXPECT_EQ(FormatBatchNumber(0, 27813, '.'), "27.813");
    EXPECT_EQ(FormatBatchNumber(0, 27813, ','), "27,813");
}

// A Qt application sets the process locale from the environment; the texts must not follow it.
// Runs where a comma locale is installed.
TEST(FormatScaled, IgnoresTheProcessLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* set = nullptr;
    for (const char* name : {"it_IT.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "it_IT", "de_DE"})
        if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr)
            break;
    if (set == nullptr)
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(FormatScaled(253, 1, '.'), "25.3");
    EXPECT_EQ(FormatBatch(0, 23456, 7, '.'), "23.456/07");
    std::setlocale(LC_NUMERIC, previous.c_str());
}
} // namespace
