#pragma once
// A recording as a CSV file for a spreadsheet: a header row with the column titles, then one row
// per sample with its number (from 1), its local date and time ("2026-12-11 09:30:00"), and the
// primary and secondary values in the units the charts show them in.
//
// Where the decimal separator is ',' the fields are separated by ';' (what a spreadsheet set up
// for that region expects); otherwise by ',' with '.' as the decimal separator. Fields holding
// the separator, a quote or a line break are quoted. The text is UTF-8 and starts with a byte
// order mark, so that spreadsheets that would otherwise read it in a legacy code page keep "°"
// and "³" intact. Rows end in CR LF.
#include <cstdint>
#include <functional>
#include <string>

// A displayed value is word * Multiplier / 10^Decimals, written with exactly Decimals decimals
// (integer arithmetic: no rounding surprises).
struct CsvValueScale {
    int32_t Multiplier = 1;
    int Decimals = 0;
};

struct RecordingCsvLayout {
    std::string SampleTitle; // UTF-8
    std::string TimeTitle;
    std::string PrimaryTitle;
    std::string SecondaryTitle;
    CsvValueScale Primary;
    CsvValueScale Secondary;
};

// The field separator that goes with a decimal separator: ';' for ',', else ','.
char CsvFieldSeparator(char decimalSeparator) noexcept;

// One displayed value as text ("12.34", "-0,5", "1200").
std::string CsvValue(int64_t word, CsvValueScale scale, char decimalSeparator);

// The whole file's text for count samples. decimalSeparator ',' gives decimal commas and ';'
// between fields; anything else gives '.' and ','. progress, when set, is called now and then
// with the rows written so far; returning false stops the work (the result is then incomplete).
std::string RecordingCsv(const RecordingCsvLayout& layout, int32_t count, const int64_t* timesMs,
                         const int32_t* primary, const int32_t* secondary, char decimalSeparator,
                         const std::function<bool(int32_t rowsDone)>& progress = {});
