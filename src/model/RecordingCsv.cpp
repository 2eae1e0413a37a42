#include "model/RecordingCsv.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <ctime>

namespace {

constexpr int32_t ProgressEvery = 4096;

void AppendField(std::string& out, const std::string& field, char separator) {
    if (field.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// Local date and time of a second since the epoch, worked out once per minute: within a minute
// only the seconds move (time zones differ from UTC by whole minutes).
class LocalClock {
public:
    // "yyyy-MM-dd HH:mm:ss" into out.
    void Append(std::string& out, int64_t timeMs) {
        const int64_t seconds = timeMs >= 0 ? timeMs / 1000 : -((-timeMs + 999) / 1000);
        const int64_t minute = seconds >= 0 ? seconds / 60 : -((-seconds + 59) / 60);
        if (minute != minute_) {
            minute_ = minute;
            const auto start = static_cast<std::time_t>(minute * 60);
            std::tm local{};
            if (localtime_r(&start, &local) == nullptr)
                local = std::tm{};
            std::snprintf(prefix_.data(), prefix_.size(),
                          "%04d-%02d-%02d %02d:%02d:", local.tm_year + 1900, local.tm_mon + 1,
                          local.tm_mday, local.tm_hour, local.tm_min);
        }
        const auto second = static_cast<int>(seconds - minute * 60);
        out += prefix_.data();
        out += static_cast<char>('0' + second / 10);
        out += static_cast<char>('0' + second % 10);
    }

private:
    int64_t minute_ = INT64_MIN;
    std::array<char, 64> prefix_{};
};

} // namespace

char CsvFieldSeparator(char decimalSeparator) noexcept {
    return decimalSeparator == ',' ? ';' : ',';
}

std::string CsvValue(int64_t word, CsvValueScale scale, char decimalSeparator) {
    const char point = decimalSeparator == ',' ? ',' : '.';
    const int decimals = std::clamp(scale.Decimals, 0, 9);
    int64_t divisor = 1;
    for (int i = 0; i < decimals; ++i)
        divisor *= 10;
    const int64_t value = word * scale.Multiplier;
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / static_cast<uint64_t>(divisor));
    if (decimals > 0) {
        std::string fraction = std::to_string(magnitude % static_cast<uint64_t>(divisor));
        text += point;
        text.append(static_cast<size_t>(decimals) - fraction.size(), '0');
        text += fraction;
    }
    return text;
}

std::string RecordingCsv(const RecordingCsvLayout& layout, int32_t count, const int64_t* timesMs,
                         const int32_t* primary, const int32_t* secondary, char decimalSeparator,
                         const std::function<bool(int32_t rowsDone)>& progress) {
    const char separator = CsvFieldSeparator(decimalSeparator);
    std::string out;
    out.reserve(64 + static_cast<size_t>(std::max(count, 0)) * 48);
    out += "\xEF\xBB\xBF"; // UTF-8 byte order mark
    const std::string* titles[] = {&layout.SampleTitle, &layout.TimeTitle, &layout.PrimaryTitle,
                                   &layout.SecondaryTitle};
    for (const std::string* title : titles) {
        if (title != titles[0])
            out += separator;
        AppendField(out, *title, separator);
    }
    out += "\r\n";

    LocalClock clock;
    for (int32_t i = 0; i < count; ++i) {
        if (progress && i % ProgressEvery == 0 && !progress(i))
            return out;
        out += std::to_string(i + 1);
        out += separator;
        clock.Append(out, timesMs[i]);
        out += separator;
        out += CsvValue(primary[i], layout.Primary, decimalSeparator);
        out += separator;
        out += CsvValue(secondary[i], layout.Secondary, decimalSeparator);
        out += "\r\n";
    }
    if (progress)
        progress(count);
    return out;
}
