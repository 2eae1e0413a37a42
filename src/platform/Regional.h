#pragma once
// The user's regional settings: the decimal separator that typed and shown numbers use, and the
// short date and long time formats of date-and-time texts. They are read from the system locale
// once, on first use; tests put their own settings in place with ScopedRegionalOverride.
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

struct RegionalSettings {
    char DecimalSeparator = '.';
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy"); // QDateTime format pattern
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");    // QDateTime format pattern
    QLocale Locale = QLocale::c(); // digits, month and day names, AM/PM texts
};

// The settings a locale implies. A separator that is not a single ASCII character becomes '.',
// and the time-zone field that Qt's long time formats carry is left out (the clock and the
// configuration files show hours, minutes and seconds only).
RegionalSettings RegionalSettingsOf(const QLocale& locale);

// The system's settings, read from QLocale::system() on the first call and kept from then on.
const RegionalSettings& SystemRegionalSettings();

// The settings in force: the override when one is set, else the system's.
RegionalSettings CurrentRegionalSettings();

// The decimal separator in force. Called for every value formatted or parsed: after the first
// call it is one atomic load. Thread-safe.
char DecimalSeparator() noexcept;

// Replaces the system's settings with the given ones (std::nullopt restores the system's) and
// returns the override that was in force before.
std::optional<RegionalSettings> SetRegionalOverride(std::optional<RegionalSettings> settings);

// Date and time as text the way the platform's date-and-time conversion writes it: the short
// date, a blank and the long time, in the settings in force ("05/03/2024 14:07:09").
QString DateTimeToStr(const QDateTime& when);
QString DateTimeToStr(const QDateTime& when, const RegionalSettings& settings);

// Puts settings in place for the lifetime of the object and restores the previous ones (an
// outer override or the system's) when it ends. Scopes must nest.
class ScopedRegionalOverride {
public:
    explicit ScopedRegionalOverride(RegionalSettings settings);
    // The default settings with the given decimal separator.
    explicit ScopedRegionalOverride(char decimalSeparator);
    ~ScopedRegionalOverride();
    ScopedRegionalOverride(const ScopedRegionalOverride&) = delete;
    ScopedRegionalOverride& operator=(const ScopedRegionalOverride&) = delete;

private:
    std::optional<RegionalSettings> previous_;
};
