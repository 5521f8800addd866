#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <set>
#include <span>

#include "base/DictationEntry.h"

namespace quillo {

// What the screens and `quillo stats` show about a history. Every figure is
// computed afresh from the history it is given; days are the user's local
// calendar days (LocalDayResolver).
struct DictationStatistics
{
    std::size_t totalDictations = 0;
    std::size_t totalWords = 0;
    // Words per minute over the entries with a positive duration; nothing
    // when no timed entry holds a word.
    std::optional<double> avgWPM;
    int currentStreak = 0;
    int longestStreak = 0;

    bool operator==(const DictationStatistics&) const = default;
};

namespace statistics {

std::size_t totalWords(std::span<const DictationEntry> history);
std::optional<double> averageWordsPerMinute(std::span<const DictationEntry> history);

// The local days on which at least one entry was made. Entries whose date
// cannot be placed in the calendar are left out.
std::set<std::chrono::local_days> activeDays(std::span<const DictationEntry> history);

// Consecutive active days ending today, or ending yesterday when nothing was
// dictated yet today; 0 otherwise.
int currentStreak(const std::set<std::chrono::local_days>& active, std::chrono::local_days today);
// The longest run of consecutive active days.
int longestStreak(const std::set<std::chrono::local_days>& active);

// All five figures; `now` decides which day is today.
DictationStatistics compute(std::span<const DictationEntry> history, std::chrono::system_clock::time_point now);

} // namespace statistics

} // namespace quillo
