#include "platform/Regional.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
TEST(Regional, SettingsOfLocales) {
    struct Case {
        const char* locale;
        char separator;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {"it_IT", ',', "dd/MM/yy", "HH:mm:ss"},
        {"de_DE", ',', "dd.MM.yy", "HH:mm:ss"},
        {"en_US", '.', "M/d/yy", "h:mm:ss AP"},
        {"en_GB", '.', "dd/MM/yyyy", "HH:mm:ss"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const RegionalSettings s = RegionalSettingsOf(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(s.DecimalSeparator, c.separator);
        EXPECT_EQ(s.ShortDateFormat.toStdString(), c.date);
        EXPECT_EQ(s.LongTimeFormat.toStdString(), c.time); // Qt's " t" time-zone field left out
    }
}

TEST(Regional, SeparatorThatIsNotOneAsciiCharacterBecomesPoint) {
    // Arabic uses U+066B; the parsers work on 8-bit text.
    EXPECT_EQ(RegionalSettingsOf(QLocale(QLocale::Arabic, QLocale::Egypt)).DecimalSeparator, '.');
}

TEST(Regional, TimeZoneLeftOutEvenInBrackets) {
    const QString time =
        RegionalSettingsOf(QLocale(QLocale::Persian, QLocale::Iran)).LongTimeFormat;
    EXPECT_FALSE(time.contains(u't')) << time.toStdString();
    EXPECT_FALSE(time.contains(u'(')) << time.toStdString();
    EXPECT_FALSE(time.isEmpty());
}

TEST(Regional, SystemSettingsWithoutOverride) {
    const RegionalSettings& system = SystemRegionalSettings();
    EXPECT_EQ(DecimalSeparator(), system.DecimalSeparator);
    EXPECT_NE(system.DecimalSeparator, '\0');
    EXPECT_FALSE(system.ShortDateFormat.isEmpty());
    EXPECT_FALSE(system.LongTimeFormat.isEmpty());
}

TEST(Regional, OverridesNestAndRestore) {
    const char system = DecimalSeparator();
    const char other = system == ',' ? '.' : ',';
    {
        ScopedRegionalOverride outer(other);
        EXPECT_EQ(DecimalSeparator(), other);
        {
            ScopedRegionalOverride inner(system);
            EXPECT_EQ(DecimalSeparator(), system);
            EXPECT_EQ(CurrentRegionalSettings().DecimalSeparator, system);
        }
        EXPECT_EQ(DecimalSeparator(), other);
        EXPECT_EQ(CurrentRegionalSettings().DecimalSeparator, other);
    }
    EXPECT_EQ(DecimalSeparator(), system);
    EXPECT_EQ(SetRegionalOverride(std::nullopt), std::nullopt);
}

TEST(Regional, DateTimeIsShortDateBlankLongTime) {
    RegionalSettings italian = RegionalSettingsOf(QLocale(QLocale::Italian, QLocale::Italy));
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(DateTimeToStr(when, italian).toStdString(), "05/03/24 14:07:09");
    const RegionalSettings us =
        RegionalSettingsOf(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(DateTimeToStr(when, us).toStdString(), "3/5/24 2:07:09 PM");

    ScopedRegionalOverride use(italian);
    EXPECT_EQ(DateTimeToStr(when).toStdString(), "05/03/24 14:07:09");
    // Midnight still carries its time.
    EXPECT_EQ(DateTimeToStr(QDateTime(QDate(2024, 12, 31), QTime(0, 0))).toStdString(),
              "31/12/24 00:00:00");
}

// Formatting threads read the separator while a test switches it: every read gives one of the
// two values (the thread checker and ASan watch the rest).
TEST(Regional, SeparatorReadsAreSafeWhileTheOverrideChanges) {
    ScopedRegionalOverride outer(';');
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            while (!stop.load()) {
                const char c = DecimalSeparator();
                if (c != ',' && c != ';')
                    bad.fetch_add(1);
            }
        });
    for (int i = 0; i < 2000; ++i) {
        ScopedRegionalOverride inner(',');
    }
    stop = true;
    for (std::thread& r : readers)
        r.join();
    EXPECT_EQ(bad.load(), 0);
}
} // namespace
