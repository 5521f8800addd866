#pragma once

#include <chrono>
#include <ctime>
#include <optional>

namespace quillo {

// Maps moments to days of the user's calendar in the process's local time
// zone (TZ, else the system's). A day is a std::chrono::local_days, a plain
// count of calendar days, so "the day before" is always one less whether the
// day lasted 23, 24 or 25 hours.
//
// Placing a moment costs a few localtime_r calls; the resolver remembers the
// bounds of the last day it placed, so a run of moments on the same day (a
// history walked in order) costs almost nothing.
//
// Threading: one resolver per thread; it is cheap to make.
class LocalDayResolver
{
public:
    // Nothing for moments the C library cannot place in the calendar.
    std::optional<std::chrono::local_days> dayOf(std::time_t unixSeconds);
    std::optional<std::chrono::local_days> dayOf(std::chrono::system_clock::time_point time);
    // A date in seconds since 2001-01-01 00:00:00 UTC, as history entries keep it.
    std::optional<std::chrono::local_days> dayOfReferenceSeconds(double seconds);

private:
    // Every moment in [m_dayBegin, m_dayEnd) lies on m_day.
    std::time_t m_dayBegin = 0;
    std::time_t m_dayEnd = 0;
    std::chrono::local_days m_day{};
};

} // namespace quillo
