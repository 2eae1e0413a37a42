#pragma once
// Slot values as text. A slot with d decimals holds the value times 10^d; the text has d
// decimals and follows the regional decimal separator. Called for every box once a second, so
// everything is formatted into stack buffers, and the process locale never changes the result.
#include <cstdint>
#include <string>

// Every '.' of text becomes ',' when the separator is ','; any other separator leaves the text
// as it is. The one-argument form uses the regional separator (DecimalSeparator()).
std::string ApplyDecimalComma(std::string text);
std::string ApplyDecimalComma(std::string text, char separator);

// The text of a slot: decimals 1 to 4 print value x 10^-d, computed in extended precision and
// rounded to single precision, with that many decimals ("%.1f" .. "%.4f"); any other decimals
// print the decimal integer (-1000, 64536).
std::string FormatScaled(int32_t value, int decimals);
std::string FormatScaled(int32_t value, int decimals, char separator);

// The batch number of InfoWords[0] (high 16 bits) and InfoWords[1] (low 16 bits), in
// thousandths, as "%.3f" after rounding to single precision: 0, 27813 gives "27.813".
std::string FormatBatchNumber(int32_t high, int32_t low);
std::string FormatBatchNumber(int32_t high, int32_t low, char separator);

// The main window's batch box: the batch number and InfoWords[2] as "%.3f/%02d" ("23.456/07").
std::string FormatBatch(int32_t high, int32_t low, int32_t suffix);
std::string FormatBatch(int32_t high, int32_t low, int32_t suffix, char separator);
