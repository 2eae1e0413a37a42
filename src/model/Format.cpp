#include "model/Format.h"

#include "platform/Regional.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

namespace {
// Large enough for any int32 and for any float printed with up to four decimals plus a suffix.
constexpr int BufferSize = 64;

// The slot times 10^-d in extended precision, then single precision, then double for printing.
double Scaled(long double value, int decimals) {
    static constexpr long double Factor[] = {1.0L, 0.1L, 0.01L, 0.001L, 0.0001L};
    return static_cast<double>(static_cast<float>(value * Factor[decimals]));
}

// Appends "%.<decimals>f" of value. std::to_chars prints exactly what printf prints in the "C"
// locale, whatever locale the process has set.
char* PrintFixed(char* out, char* end, double value, int decimals) {
    return std::to_chars(out, end, value, std::chars_format::fixed, decimals).ptr;
}

char* PrintInt(char* out, char* end, int32_t value) {
    return std::to_chars(out, end, value).ptr;
}

void CommaIfNeeded(char* begin, char* end, char separator) {
    if (separator == ',')
        std::replace(begin, end, '.', ',');
}

int32_t BatchInteger(int32_t high, int32_t low) {
    return static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | static_cast<uint32_t>(low));
}
} // namespace

std::string ApplyDecimalComma(std::string text, char separator) {
    CommaIfNeeded(text.data(), text.data() + text.size(), separator);
    return text;
}

std::string ApplyDecimalComma(std::string text) {
    return ApplyDecimalComma(std::move(text), DecimalSeparator());
}

std::string FormatScaled(int32_t value, int decimals, char separator) {
    char buffer[BufferSize];
    char* const end = buffer + sizeof buffer;
    if (decimals < 1 || decimals > 4)
        return std::string(buffer, PrintInt(buffer, end, value));
    char* const last = PrintFixed(buffer, end, Scaled(value, decimals), decimals);
    CommaIfNeeded(buffer, last, separator);
    return std::string(buffer, last);
}

std::string FormatScaled(int32_t value, int decimals) {
    return FormatScaled(value, decimals, DecimalSeparator());
}

std::string FormatBatchNumber(int32_t high, int32_t low, char separator) {
    char buffer[BufferSize];
    char* const last =
        PrintFixed(buffer, buffer + sizeof buffer, Scaled(BatchInteger(high, low), 3), 3);
    CommaIfNeeded(buffer, last, separator);
    return std::string(buffer, last);
}

std::string FormatBatchNumber(int32_t high, int32_t low) {
    return FormatBatchNumber(high, low, DecimalSeparator());
}

std::string FormatBatch(int32_t high, int32_t low, int32_t suffix, char separator) {
    char buffer[BufferSize];
    char* const end = buffer + sizeof buffer;
    char* last = PrintFixed(buffer, end, Scaled(BatchInteger(high, low), 3), 3);
    *last++ = '/';
    if (suffix >= 0 && suffix < 10) // "%02d"
        *last++ = '0';
    last = PrintInt(last, end, suffix);
    CommaIfNeeded(buffer, last, separator);
    return std::string(buffer, last);
}

std::string FormatBatch(int32_t high, int32_t low, int32_t suffix) {
    return FormatBatch(high, low, suffix, DecimalSeparator());
}
