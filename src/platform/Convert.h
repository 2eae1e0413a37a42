#pragma once
// Typed numbers to values. The parsers are strict: blanks are allowed around the number, nothing
// else. Floating-point text is converted in extended precision (long double) and never through
// the process locale, so "2,5" means 2.5 only when the separator in use is ','.
#include <cstdint>
#include <optional>
#include <string_view>

// Text to a floating-point value with the regional decimal separator (DecimalSeparator()):
// optional blanks, optional sign, digits with at most one separator (digits on at least one
// side), optional exponent (e or E, optional sign, digits), optional blanks. Raises EConvertError
// "'<text>' is not a valid floating point value" for anything else, and for a value beyond the
// range of long double.
long double StrToFloat(std::string_view text);
long double StrToFloat(std::string_view text, char separator);
// The same without raising: std::nullopt where StrToFloat raises.
std::optional<long double> TryStrToFloat(std::string_view text, char separator) noexcept;

// Text to a 32-bit integer: optional blanks, optional sign, decimal digits, optional blanks, and
// the value must fit. Raises EConvertError "'<text>' is not a valid integer value" otherwise.
int32_t StrToInt(std::string_view text);
// The same without raising, for callers that take bad text as a default.
std::optional<int32_t> TryStrToInt(std::string_view text) noexcept;

// value x 10^decimals (decimals 0 to 4) in extended precision, brought to the nearest double and
// truncated toward zero. std::nullopt when the result does not fit in 32 bits (a typed "1e30"),
// when value is not finite, or when decimals is outside 0..4; callers refuse or clamp it.
std::optional<int32_t> ScaleAndTruncate(long double value, int decimals) noexcept;
