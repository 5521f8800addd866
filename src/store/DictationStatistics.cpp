#include "store/DictationStatistics.h"

#include <algorithm>
#include <iterator>

#include "store/LocalCalendar.h"

namespace quillo::statistics {

std::size_t totalWords(std::span<const DictationEntry> history)
{
    std::size_t words = 0;
    for (const DictationEntry& entry : history) {
        words += entry.wordCount();
    }
    return words;
}

std::optional<double> averageWordsPerMinute(std::span<const DictationEntry> history)
{
    double seconds = 0;
    std::size_t words = 0;
    bool anyTimed = false;
    for (const DictationEntry& entry : history) {
        // Entries without a recorded duration would only drag the speed down.
        if (entry.duration() > 0) {
            anyTimed = true;
            seconds += entry.duration();
            words += entry.wordCount();
        }
    }
    if (!anyTimed || !(seconds > 0) || words < 1) {
        return std::nullopt;
    }
    return static_cast<double>(words) / (seconds / 60.0);
}

std::set<std::chrono::local_days> activeDays(std::span<const DictationEntry> history)
{
    std::set<std::chrono::local_days> days;
    LocalDayResolver resolver;
    std::optional<std::chrono::local_days> previous;
    for (const DictationEntry& entry : history) {
        const auto day = resolver.dayOfReferenceSeconds(entry.date());
        // A history is mostly runs of entries on one day; skip the set lookup
        // for those.
        if (day && day != previous) {
            days.insert(*day);
            previous = day;
        }
    }
    return days;
}

int currentStreak(const std::set<std::chrono::local_days>& active, std::chrono::local_days today)
{
    constexpr std::chrono::days kOneDay{1};
    std::chrono::local_days day = today;
    if (!active.contains(day)) {
        day -= kOneDay;
        if (!active.contains(day)) {
            return 0;
        }
    }
    int streak = 0;
    // The set is ordered: walk it backwards from the starting day while each
    // element is the day before the last.
    for (auto it = std::make_reverse_iterator(active.upper_bound(day)); it != active.rend() && *it == day; ++it) {
        ++streak;
        day -= kOneDay;
    }
    return streak;
}

int longestStreak(const std::set<std::chrono::local_days>& active)
{
    int longest = 0;
    int run = 0;
    std::optional<std::chrono::local_days> previous;
    for (const auto day : active) {
        run = previous && day - *previous == std::chrono::days{1} ? run + 1 : 1;
        longest = std::max(longest, run);
        previous = day;
    }
    return longest;
}

DictationStatistics compute(std::span<const DictationEntry> history, std::chrono::system_clock::time_point now)
{
    DictationStatistics result;
    result.totalDictations = history.size();
    result.totalWords = totalWords(history);
    result.avgWPM = averageWordsPerMinute(history);
    const auto days = activeDays(history);
    if (const auto today = LocalDayResolver().dayOf(now)) {
        result.currentStreak = currentStreak(days, *today);
    }
    result.longestStreak = longestStreak(days);
    return result;
}

} // namespace quillo::statistics
