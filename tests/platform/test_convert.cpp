#include "platform/Convert.h"

#include "platform/Exception.h"
#include "platform/Regional.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {
struct FloatCase {
    const char* text;
    char separator;
    long double expected;
};

TEST(StrToFloat, AcceptsTheNumberForms) {
    const FloatCase cases[] = {
        {"2.5", '.', 2.5L},      {"2,5", ',', 2.5L},      {"  -2.5\t", '.', -2.5L},
        {"+7", '.', 7.0L},       {"5.", '.', 5.0L},       {".25", '.', 0.25L},
        {",25", ',', 0.25L},     {"-0", '.', -0.0L},      {"1e3", '.', 1000.0L},
        {"1.5E-2", '.', 0.015L}, {"2,5e+1", ',', 25.0L},  {"007", '.', 7.0L},
        {"1.e2", '.', 100.0L},   {"1e-99999", '.', 0.0L}, // underflows to zero, still a number
    };
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToFloat(c.text, c.separator), c.expected);
    }
}

TEST(StrToFloat, ConvertsInExtendedPrecision) {
    // The nearest long double, not the nearest double widened.
    EXPECT_EQ(StrToFloat("0.29", '.'), 0.29L);
    EXPECT_NE(StrToFloat("0.29", '.'), static_cast<long double>(0.29));
    EXPECT_EQ(StrToFloat("6000,05", ','), 6000.05L);
}

TEST(StrToFloat, RefusesEverythingElseNamingTheText) {
    const std::pair<const char*, char> cases[] = {
        {"", '.'},       {"   ", '.'},    {"2.5.1", '.'}, {"2.5", ','},  {"1,000", '.'},
        {"abc", '.'},    {"-", '.'},      {".", '.'},     {"+-1", '.'},  {"1e", '.'},
        {"1e+", '.'},    {"e5", '.'},     {".e5", '.'},   {"inf", '.'},  {"nan", '.'},
        {"0x1A", '.'},   {"1 000", '.'},  {"- 1", '.'},   {"1:30", '.'}, {"12a", '.'},
        {"1e5000", '.'}, // beyond long double: no usable number
        {"2..5", '.'},   {"1,5e2,", ','},
    };
    for (const auto& [text, separator] : cases) {
        SCOPED_TRACE(text);
        try {
            StrToFloat(text, separator);
            ADD_FAILURE() << "accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(),
                      "'" + std::string(text) + "' is not a valid floating point value");
        }
        EXPECT_FALSE(TryStrToFloat(text, separator).has_value());
    }
}

TEST(StrToFloat, UsesTheRegionalSeparator) {
    {
        ScopedRegionalOverride comma(',');
        EXPECT_EQ(StrToFloat("2,5"), 2.5L);
        EXPECT_THROW(StrToFloat("2.5"), EConvertError);
    }
    ScopedRegionalOverride point('.');
    EXPECT_EQ(StrToFloat("2.5"), 2.5L);
    EXPECT_THROW(StrToFloat("2,5"), EConvertError);
}

// A Qt application sets the process locale from the environment; typed numbers must not follow
// it. Runs where a comma locale is installed.
TEST(StrToFloat, IgnoresTheProcessLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* names[] = {"it_IT.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "it_IT", "de_DE"};
    const char* set = nullptr;
    for (const char* name : names)
        if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr)
            break;
    if (set == nullptr)
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(StrToFloat("2.5", '.'), 2.5L);
    EXPECT_EQ(StrToFloat("2,5", ','), 2.5L);
    EXPECT_THROW(StrToFloat("2,5", '.'), EConvertError);
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(StrToInt, AcceptsDecimalIntegersThatFit) {
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0},
        {"-1000", -1000},
        {" 42 ", 42},
        {"+7", 7},
        {"0007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"00000000000000000000012", 12},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(StrToInt(text), expected);
        EXPECT_EQ(TryStrToInt(text), expected);
    }
}

TEST(StrToInt, RefusesEverythingElseNamingTheText) {
    const char* cases[] = {"",      " ",     "-",          "+",           "2.5",
                           "1,000", "12:30", "1-",         "--1",         "0x10",
                           "$10",   "1e3",   "2147483648", "-2147483649", "99999999999999999999",
                           "1 2",   "abc"};
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(TryStrToInt(text).has_value());
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

struct ScaleCase {
    const char* text;
    char separator;
    int decimals;
    std::optional<int32_t> expected;
};

// The path of a typed number: parse, scale in extended precision, nearest double, truncate.
TEST(ScaleAndTruncate, TypedNumbersGiveTheScaledInteger) {
    const ScaleCase cases[] = {
        {"0.29", '.', 2, 29}, // 28 if the product were formed in double
        {"2,5", ',', 3, 2500},
        {"2.71828", '.', 3, 2718},
        {"6000.05", '.', 1, 60000}, // truncated
        {"6000.1", '.', 1, 60001},
        {"70.5", '.', 3, 70500},
        {"1.1", '.', 4, 11000},
        {"0.0001", '.', 4, 1},
        {"-0.5", '.', 0, 0},
        {"-5", '.', 4, -50000},
        {"-2.9", '.', 0, -2},
        {"2147483647", '.', 0, INT32_MAX},
        {"2147483647.9", '.', 0, INT32_MAX},
        {"-2147483648", '.', 0, INT32_MIN},
        {"-2147483648.5", '.', 0, INT32_MIN},
        {"2147483648", '.', 0, std::nullopt},
        {"-2147483649", '.', 0, std::nullopt},
        {"214748.3648", '.', 4, std::nullopt},
        {"1e30", '.', 2, std::nullopt},
        {"-1e30", '.', 0, std::nullopt},
        {"1e4000", '.', 4, std::nullopt}, // finite long double, beyond double
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " d=" + std::to_string(c.decimals));
        EXPECT_EQ(ScaleAndTruncate(StrToFloat(c.text, c.separator), c.decimals), c.expected);
    }
}

TEST(ScaleAndTruncate, NonFiniteAndBadDecimalsAreOutOfRange) {
    EXPECT_EQ(ScaleAndTruncate(std::nanl(""), 0), std::nullopt);
    EXPECT_EQ(ScaleAndTruncate(HUGE_VALL, 1), std::nullopt);
    EXPECT_EQ(ScaleAndTruncate(-HUGE_VALL, 1), std::nullopt);
    EXPECT_EQ(ScaleAndTruncate(1.0L, -1), std::nullopt);
    EXPECT_EQ(ScaleAndTruncate(1.0L, 5), std::nullopt);
}
} // namespace
