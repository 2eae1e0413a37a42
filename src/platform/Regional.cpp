#include "platform/Regional.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace {
std::mutex g_mutex;
std::optional<RegionalSettings> g_override; // guarded by g_mutex
// The separator in force, or 0 while it is not known yet. Written under g_mutex only.
std::atomic<char> g_separator{0};

bool UsableSeparator(char16_t c) {
    // One ASCII punctuation character that cannot be mistaken for part of a number.
    return c > 0x20 && c < 0x7F && !(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') &&
           !(c >= 'a' && c <= 'z') && c != '+' && c != '-';
}

// Leaves out the unquoted time-zone fields ("t", "tt", ...) of a time format, an empty pair of
// brackets they leave behind, and the blanks at either end.
QString WithoutTimeZone(const QString& format) {
    QString out;
    out.reserve(format.size());
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == u't')
            continue;
        out.append(c);
    }
    out.replace(QStringLiteral("()"), QString());
    out.replace(QStringLiteral("[]"), QString());
    return out.trimmed();
}

char EffectiveSeparatorLocked() {
    return g_override ? g_override->DecimalSeparator : SystemRegionalSettings().DecimalSeparator;
}
} // namespace

RegionalSettings RegionalSettingsOf(const QLocale& locale) {
    RegionalSettings s;
    const QString point = locale.decimalPoint();
    s.DecimalSeparator = point.size() == 1 && UsableSeparator(point.front().unicode())
                             ? static_cast<char>(point.front().unicode())
                             : '.';
    s.ShortDateFormat = locale.dateFormat(QLocale::ShortFormat);
    s.LongTimeFormat = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    s.Locale = locale;
    return s;
}

const RegionalSettings& SystemRegionalSettings() {
    static const RegionalSettings system = RegionalSettingsOf(QLocale::system());
    return system;
}

RegionalSettings CurrentRegionalSettings() {
    std::lock_guard lock(g_mutex);
    return g_override ? *g_override : SystemRegionalSettings();
}

char DecimalSeparator() noexcept {
    const char cached = g_separator.load(std::memory_order_acquire);
    if (cached != 0)
        return cached;
    std::lock_guard lock(g_mutex);
    const char separator = EffectiveSeparatorLocked();
    g_separator.store(separator, std::memory_order_release);
    return separator;
}

std::optional<RegionalSettings> SetRegionalOverride(std::optional<RegionalSettings> settings) {
    std::lock_guard lock(g_mutex);
    std::swap(g_override, settings);
    g_separator.store(EffectiveSeparatorLocked(), std::memory_order_release);
    return settings;
}

QString DateTimeToStr(const QDateTime& when, const RegionalSettings& settings) {
    return settings.Locale.toString(when.date(), settings.ShortDateFormat) + u' ' +
           settings.Locale.toString(when.time(), settings.LongTimeFormat);
}

QString DateTimeToStr(const QDateTime& when) {
    return DateTimeToStr(when, CurrentRegionalSettings());
}

ScopedRegionalOverride::ScopedRegionalOverride(RegionalSettings settings)
    : previous_(SetRegionalOverride(std::move(settings))) {}

ScopedRegionalOverride::ScopedRegionalOverride(char decimalSeparator)
    : ScopedRegionalOverride([decimalSeparator] {
          RegionalSettings s;
          s.DecimalSeparator = decimalSeparator;
          return s;
      }()) {}

ScopedRegionalOverride::~ScopedRegionalOverride() {
    SetRegionalOverride(std::move(previous_));
}
