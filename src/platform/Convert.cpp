#include "platform/Convert.h"

#include "platform/Exception.h"
#include "platform/Regional.h"

#include <cmath>
#include <cstdlib> // strtold_l
#include <locale.h>
#include <string>

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view t) {
    while (!t.empty() && IsBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back()))
        t.remove_suffix(1);
    return t;
}

// The "C" locale, so that strtold reads '.' whatever the process locale says.
class CNumericLocale {
public:
    CNumericLocale() : handle_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {}
    ~CNumericLocale() {
        if (handle_ != static_cast<locale_t>(nullptr))
            freelocale(handle_);
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;
    locale_t Get() const { return handle_; }

private:
    locale_t handle_;
};

locale_t CLocale() {
    static const CNumericLocale locale;
    return locale.Get();
}

std::string Quoted(std::string_view text) {
    std::string s;
    s.reserve(text.size() + 2);
    s += '\'';
    s += text;
    s += '\'';
    return s;
}
} // namespace

std::optional<long double> TryStrToFloat(std::string_view text, char separator) noexcept {
    try {
        std::string_view t = Trim(text);
        // Rebuilt in the "C" form: sign, digits, '.', digits, 'e', sign, digits.
        std::string canonical;
        canonical.reserve(t.size() + 1);
        size_t i = 0;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            canonical += t[i++];
        size_t mantissaDigits = 0;
        for (; i < t.size() && IsDigit(t[i]); ++i, ++mantissaDigits)
            canonical += t[i];
        if (i < t.size() && t[i] == separator) {
            canonical += '.';
            for (++i; i < t.size() && IsDigit(t[i]); ++i, ++mantissaDigits)
                canonical += t[i];
        }
        if (mantissaDigits == 0)
            return std::nullopt;
        if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
            canonical += 'e';
            ++i;
            if (i < t.size() && (t[i] == '+' || t[i] == '-'))
                canonical += t[i++];
            size_t exponentDigits = 0;
            for (; i < t.size() && IsDigit(t[i]); ++i, ++exponentDigits)
                canonical += t[i];
            if (exponentDigits == 0)
                return std::nullopt;
        }
        if (i != t.size())
            return std::nullopt;

        const locale_t c = CLocale();
        if (c == static_cast<locale_t>(nullptr))
            return std::nullopt;
        char* end = nullptr;
        const long double value = strtold_l(canonical.c_str(), &end, c);
        // An underflow gives the nearest tiny value or zero, which is fine; an overflow gives
        // infinity, which is no number the user can mean.
        if (end != canonical.c_str() + canonical.size() || !std::isfinite(value))
            return std::nullopt;
        return value;
    } catch (...) { // out of memory for the canonical text
        return std::nullopt;
    }
}

long double StrToFloat(std::string_view text, char separator) {
    if (const auto value = TryStrToFloat(text, separator))
        return *value;
    throw EConvertError(Quoted(text) + " is not a valid floating point value");
}

long double StrToFloat(std::string_view text) {
    return StrToFloat(text, DecimalSeparator());
}

std::optional<int32_t> TryStrToInt(std::string_view text) noexcept {
    std::string_view t = Trim(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty())
        return std::nullopt;
    int64_t magnitude = 0;
    for (const char c : t) {
        if (!IsDigit(c))
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > int64_t{1} << 31)
            return std::nullopt;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
    if (const auto value = TryStrToInt(text))
        return *value;
    throw EConvertError(Quoted(text) + " is not a valid integer value");
}

std::optional<int32_t> ScaleAndTruncate(long double value, int decimals) noexcept {
    static constexpr long double Scale[] = {1.0L, 10.0L, 100.0L, 1000.0L, 10000.0L};
    if (decimals < 0 || decimals > 4)
        return std::nullopt;
    const long double product = value * Scale[decimals];
    // Checked before narrowing: a long double beyond the range of double must not be converted.
    if (!std::isfinite(product) || std::fabs(product) >= 4294967296.0L)
        return std::nullopt;
    const double whole = std::trunc(static_cast<double>(product));
    if (whole < -2147483648.0 || whole > 2147483647.0)
        return std::nullopt;
    return static_cast<int32_t>(whole);
}
