#include "store/HeatmapModel.h"

#include <algorithm>

#include "store/DictationStatistics.h"
#include "store/LocalCalendar.h"

namespace quillo::heatmap {

namespace {

using std::chrono::local_days;

constexpr std::chrono::days kOneDay{1};
constexpr std::chrono::days kOneWeek{7};
// About four centuries back: far beyond any history, and well inside the
// range the calendar types can represent.
constexpr int kMaxPage = 1000;

} // namespace

int level(std::size_t words)
{
    if (words == 0) {
        return 0;
    }
    if (words < 50) {
        return 1;
    }
    if (words < 150) {
        return 2;
    }
    if (words < 400) {
        return 3;
    }
    return 4;
}

std::map<local_days, std::size_t> wordsByDay(std::span<const DictationEntry> history)
{
    std::map<local_days, std::size_t> words;
    LocalDayResolver resolver;
    // Entries come in runs on one day; add each run to the map once.
    std::optional<local_days> runDay;
    std::size_t runWords = 0;
    for (const DictationEntry& entry : history) {
        const auto day = resolver.dayOfReferenceSeconds(entry.date());
        if (!day) {
            continue;
        }
        if (day != runDay) {
            if (runDay) {
                words[*runDay] += runWords;
            }
            runDay = day;
            runWords = 0;
        }
        runWords += entry.wordCount();
    }
    if (runDay) {
        words[*runDay] += runWords;
    }
    return words;
}

std::set<local_days> streakDays(const std::set<local_days>& active, local_days today)
{
    std::set<local_days> days;
    const int streak = statistics::currentStreak(active, today);
    const local_days end = active.contains(today) ? today : today - kOneDay;
    for (int i = 0; i < streak; ++i) {
        days.insert(end - std::chrono::days{i});
    }
    return days;
}

HeatmapModel build(std::span<const DictationEntry> history, std::chrono::system_clock::time_point now, int page)
{
    HeatmapModel model;
    model.page = std::clamp(page, 0, kMaxPage);
    model.newerPagesAvailable = model.page > 0;

    const auto today = LocalDayResolver().dayOf(now);
    if (!today) {
        return model;
    }
    const auto words = wordsByDay(history);
    std::set<local_days> active;
    for (const auto& [day, count] : words) {
        active.insert(active.end(), day);
    }
    model.currentStreak = statistics::currentStreak(active, *today);
    const auto streak = streakDays(active, *today);

    // Weeks start on Sunday whatever the user's first weekday is.
    const local_days thisWeekStart = *today - std::chrono::days{std::chrono::weekday{*today}.c_encoding()};
    const local_days lastWeekStart = thisWeekStart - kOneWeek * (model.page * HeatmapModel::kNumWeeks);
    const local_days firstWeekStart = lastWeekStart - kOneWeek * (HeatmapModel::kNumWeeks - 1);

    std::optional<std::chrono::month> previousLabelMonth;
    model.weeks.resize(HeatmapModel::kNumWeeks);
    for (int column = 0; column < HeatmapModel::kNumWeeks; ++column) {
        auto& week = model.weeks[static_cast<std::size_t>(column)];
        const local_days weekStart = firstWeekStart + kOneWeek * column;
        for (int row = 0; row < HeatmapModel::kDaysPerWeek; ++row) {
            const local_days day = weekStart + std::chrono::days{row};
            if (day > *today) {
                continue; // the future stays empty
            }
            HeatmapCell& cell = week[static_cast<std::size_t>(row)];
            cell.day = day;
            if (const auto found = words.find(day); found != words.end()) {
                cell.words = found->second;
            }
            cell.level = level(cell.words);
            cell.inStreak = streak.contains(day);
        }

        const auto firstDay = std::find_if(week.begin(), week.end(), [](const HeatmapCell& c) { return c.day; });
        if (firstDay == week.end()) {
            continue;
        }
        const std::chrono::year_month_day date{*firstDay->day};
        if (date.month() != previousLabelMonth) {
            model.monthLabels.push_back({column, date.year() / date.month()});
            previousLabelMonth = date.month();
        }
    }

    const auto& firstColumn = model.weeks.front();
    const auto firstShown =
        std::find_if(firstColumn.begin(), firstColumn.end(), [](const HeatmapCell& c) { return c.day; });
    model.olderPagesAvailable =
        !words.empty() && firstShown != firstColumn.end() && words.begin()->first < *firstShown->day;
    return model;
}

} // namespace quillo::heatmap
