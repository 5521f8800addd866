#include "store/DictationStatistics.h"

#include <gtest/gtest.h>

#include "StoreTestSupport.h"
#include "store/LocalCalendar.h"

namespace quillo {
namespace {

using test::entryAt;

constexpr const char* kId = "00000000-0000-4000-8000-000000000000";
using test::localTime;

TEST(DictationStatisticsTest, WordsAreSeparatedBySpacesAndSpeedCountsOnlyTimedEntries)
{
    const auto t = localTime(2026, 3, 2);
    const std::string fifty = test::words(50);
    const auto wpm = [](std::vector<DictationEntry> history) { return statistics::averageWordsPerMinute(history); };
    EXPECT_EQ(wpm({}), std::nullopt) << "case empty";
    EXPECT_EQ(wpm({entryAt(t, "a b", -3)}), std::nullopt) << "case negative duration";
    EXPECT_EQ(wpm({entryAt(t, "a", 60), entryAt(t, fifty, 15), entryAt(t, fifty, 0)}), 51.0 / (75.0 / 60.0))
        << "case pooled, untimed ignored";
    // Words are separated by spaces only: not by line breaks, tabs or no-break spaces.
    EXPECT_EQ(wordCount("one\ntwo tab\tseparated caf\u00e9\u00a0au lait"), 4u);
}

// POSIX rule strings need no time-zone database on the machine; these are
// New York's rules as they stand for 2026.
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";

TEST(DictationStatisticsTest, StreaksCountLocalCalendarDaysAndSkipUnplaceableDates)
{
    struct Case
    {
        const char* name;
        const char* zone;
        std::vector<std::array<int, 5>> entries; // local y, m, d, h, min
        std::array<int, 6> now;                  // local y, m, d, h, min, s
        int current;
        int longest;
    };
    const Case cases[] = {
        {"not yet today", "UTC0", {{2026, 3, 3, 9, 0}, {2026, 3, 2, 9, 0}}, {2026, 3, 4, 23, 59, 59}, 2, 2},
        {"gap in a month",
         "UTC0",
         {{2026, 1, 6, 8, 0}, {2026, 1, 5, 8, 0}, {2026, 1, 3, 8, 0}, {2026, 1, 2, 8, 0}, {2026, 1, 1, 8, 0}},
         {2026, 3, 4, 12, 0, 0},
         0,
         3},
        // 23-hour days: spring forward at 02:00 (New York, 8 March 2026).
        {"spring forward",
         kNewYork,
         {{2026, 3, 9, 0, 30}, {2026, 3, 8, 23, 30}, {2026, 3, 8, 0, 30}, {2026, 3, 7, 23, 30}},
         {2026, 3, 9, 0, 45, 0},
         3,
         3},
        // 25-hour days: fall back (New York, 1 November 2026).
        {"fall back",
         kNewYork,
         {{2026, 11, 2, 0, 5}, {2026, 11, 1, 23, 55}, {2026, 11, 1, 0, 30}, {2026, 10, 31, 23, 30}},
         {2026, 11, 2, 22, 0, 0},
         3,
         3},
    };
    for (const Case& c : cases) {
        test::ScopedTimeZone zone(c.zone);
        std::vector<DictationEntry> history;
        for (const auto& [y, m, d, h, min] : c.entries) {
            history.push_back(entryAt(localTime(y, m, d, h, min)));
        }
        const auto now = localTime(c.now[0], c.now[1], c.now[2], c.now[3], c.now[4], c.now[5]);
        const auto figures = statistics::compute(history, now);
        EXPECT_EQ(figures.currentStreak, c.current) << "case " << c.name;
        EXPECT_EQ(figures.longestStreak, c.longest) << "case " << c.name;
        EXPECT_EQ(figures.totalWords, 3 * history.size()) << "case " << c.name;
    }

    // A date that falls on no calendar day is counted but left out of the days.
    test::ScopedTimeZone zone("UTC0");
    const std::vector<DictationEntry> history{entryAt(localTime(2026, 3, 4)), DictationEntry(kId, "x", 1e300)};
    const auto figures = statistics::compute(history, localTime(2026, 3, 4, 18));
    EXPECT_EQ(figures.currentStreak, 1);
    EXPECT_EQ(figures.longestStreak, 1);
    EXPECT_EQ(figures.totalDictations, 2u);
}

} // namespace
} // namespace quillo
