#include "model/RecordingCsv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct ValueCase {
    int64_t word;
    CsvValueScale scale;
    char separator;
    const char* text;
};

TEST(RecordingCsv, ValuesKeepEveryDigitInTheRegionalSeparator) {
    const ValueCase cases[] = {
        {1234, {1, 2}, '.', "12.34"},    {1234, {1, 2}, ',', "12,34"},
        {5, {1, 2}, '.', "0.05"},        {0, {1, 2}, ',', "0,00"},
        {300, {1, 1}, '.', "30.0"},      {65535, {1, 0}, ',', "65535"},
        {19660, {10, 0}, '.', "196600"}, {-5, {1, 1}, '.', "-0.5"},
        {65535, {1, 2}, '.', "655.35"},  {7, {1, 1}, ';', "0.7"}, // anything but ',' writes '.'
    };
    for (const ValueCase& c : cases)
        EXPECT_EQ(CsvValue(c.word, c.scale, c.separator), c.text)
            << c.word << " x" << c.scale.Multiplier << " /10^" << c.scale.Decimals;
}

// Local times in a zone of our choosing, restored afterwards.
class ZoneTest : public testing::Test {
protected:
    void UseZone(const char* zone) {
        const char* old = std::getenv("TZ");
        saved_ = old != nullptr ? std::string(old) : std::string();
        hadZone_ = old != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_;
    bool hadZone_ = false;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        if (end == std::string::npos)
            break;
        at = end + 2;
    }
    return lines;
}

TEST_F(ZoneTest, RowsCarryNumberLocalTimeAndBothValues) {
    UseZone("Europe/Rome");
    RecordingCsvLayout layout{"Campione",         "Data e ora", "Velocità [m/s]",
                              "Temperatura [°C]", {1, 2},       {1, 1}};
    // 2026-12-11 08:30:00 UTC is 09:30:00 in Rome; the next sample comes 1.9 s later.
    const int64_t t0 = 1796977800000;
    const std::vector<int64_t> times{t0, t0 + 1900, t0 + 61000};
    const std::vector<int32_t> primary{1234, 5, 65535};
    const std::vector<int32_t> secondary{300, 0, 2000};

    struct Case {
        char decimal;
        std::vector<std::string> lines;
    } cases[] = {
        {',',
         {"\xEF\xBB\xBF"
          "Campione;Data e ora;Velocità [m/s];Temperatura [°C]",
          "1;2026-12-11 09:30:00;12,34;30,0", "2;2026-12-11 09:30:01;0,05;0,0",
          "3;2026-12-11 09:31:01;655,35;200,0"}},
        {'.',
         {"\xEF\xBB\xBF"
          "Campione,Data e ora,Velocità [m/s],Temperatura [°C]",
          "1,2026-12-11 09:30:00,12.34,30.0", "2,2026-12-11 09:30:01,0.05,0.0",
          "3,2026-12-11 09:31:01,655.35,200.0"}},
    };
    for (const Case& c : cases) {
        const std::string text =
            RecordingCsv(layout, 3, times.data(), primary.data(), secondary.data(), c.decimal);
        EXPECT_EQ(Lines(text), c.lines) << "decimal " << c.decimal;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
}

TEST_F(ZoneTest, LocalTimeFollowsTheSummerTimeChange) {
    // Rome moves from 02:00 to 03:00 at 01:00 UTC on 29 March 2026.
    UseZone("Europe/Rome");
    const int64_t change = 1774746000000; // 2026-03-29 01:00:00 UTC
    const std::vector<int64_t> times{change - 2000, change - 1000, change, change + 1000};
    const std::vector<int32_t> zero(times.size(), 0);
    const std::string text =
        RecordingCsv({"n", "t", "a", "b", {}, {}}, 4, times.data(), zero.data(), zero.data(), '.');
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "1,2026-03-29 01:59:58,0,0");
    EXPECT_EQ(lines[2], "2,2026-03-29 01:59:59,0,0");
    EXPECT_EQ(lines[3], "3,2026-03-29 03:00:00,0,0");
    EXPECT_EQ(lines[4], "4,2026-03-29 03:00:01,0,0");
}

TEST(RecordingCsv, TitlesHoldingTheSeparatorOrQuotesAreQuoted) {
    const RecordingCsvLayout layout{"N;o", "Ora \"locale\"", "a,b", "c", {}, {}};
    const std::string semicolon = RecordingCsv(layout, 0, nullptr, nullptr, nullptr, ',');
    EXPECT_EQ(semicolon, "\xEF\xBB\xBF\"N;o\";\"Ora \"\"locale\"\"\";a,b;c\r\n");
    const std::string comma = RecordingCsv(layout, 0, nullptr, nullptr, nullptr, '.');
    EXPECT_EQ(comma, "\xEF\xBB\xBFN;o,\"Ora \"\"locale\"\"\",\"a,b\",c\r\n");
}

TEST(RecordingCsv, ProgressIsReportedAndCanStopTheWork) {
    const int32_t count = 10000;
    const std::vector<int64_t> times(count, 0);
    const std::vector<int32_t> zero(count, 0);
    std::vector<int32_t> seen;
    RecordingCsv({}, count, times.data(), zero.data(), zero.data(), '.', [&](int32_t done) {
        seen.push_back(done);
        return true;
    });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), count);

    const std::string stopped = RecordingCsv({}, count, times.data(), zero.data(), zero.data(), '.',
                                             [](int32_t done) { return done == 0; });
    EXPECT_LT(Lines(stopped).size(), static_cast<size_t>(count));
}

} // namespace
