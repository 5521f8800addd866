#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "base/DictationEntry.h"

namespace quillo {

// One square of the activity calendar.
struct HeatmapCell
{
    std::optional<std::chrono::local_days> day; // nothing for a day after today: drawn empty
    std::size_t words = 0;                      // words dictated that day
    int level = 0;                              // colour step, 0 to 4 (heatmap::level)
    bool inStreak = false;                      // part of the current streak: drawn outlined

    bool operator==(const HeatmapCell&) const = default;
};

// A month name above the grid, starting at `column`.
struct HeatmapMonthLabel
{
    int column = 0;
    std::chrono::year_month month; // the screen formats it in the user's locale

    bool operator==(const HeatmapMonthLabel&) const = default;
};

// Everything the activity calendar draws for one page: kNumWeeks columns of
// Sunday-to-Saturday weeks, oldest on the left; page 0 ends with the current
// week and each further page shows the kNumWeeks weeks before.
struct HeatmapModel
{
    static constexpr int kNumWeeks = 22;
    static constexpr int kDaysPerWeek = 7;

    int page = 0;
    std::vector<std::array<HeatmapCell, kDaysPerWeek>> weeks; // row 0 is Sunday
    std::vector<HeatmapMonthLabel> monthLabels;
    bool olderPagesAvailable = false; // something was dictated before the first column
    bool newerPagesAvailable = false; // page > 0
    int currentStreak = 0;
};

namespace heatmap {

// 0 for no words, then 1 up to 49 words, 2 up to 149, 3 up to 399, 4 beyond.
int level(std::size_t words);

// The words dictated on each local day that has any entry.
std::map<std::chrono::local_days, std::size_t> wordsByDay(std::span<const DictationEntry> history);

// The days of the current streak: `streak` days ending today when today is
// active, else ending yesterday.
std::set<std::chrono::local_days> streakDays(const std::set<std::chrono::local_days>& active,
                                             std::chrono::local_days today);

// The page of the calendar as of `now` (a negative page counts as 0, and
// pages beyond a few centuries as the last of those).
HeatmapModel build(std::span<const DictationEntry> history, std::chrono::system_clock::time_point now, int page);

} // namespace heatmap

} // namespace quillo
