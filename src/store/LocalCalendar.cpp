#include "store/LocalCalendar.h"

#include <cmath>

#include "base/DictationEntry.h"

namespace quillo {

namespace {

using std::chrono::local_days;

std::optional<local_days> resolve(std::time_t moment, std::tm& local)
{
    if (!localtime_r(&moment, &local)) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year{local.tm_year + 1900},
                                           std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                           std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return local_days{date};
}

std::optional<local_days> resolve(std::time_t moment)
{
    std::tm local{};
    return resolve(moment, local);
}

} // namespace

std::optional<local_days> LocalDayResolver::dayOf(std::time_t unixSeconds)
{
    if (unixSeconds >= m_dayBegin && unixSeconds < m_dayEnd) {
        return m_day;
    }
    std::tm local{};
    const auto day = resolve(unixSeconds, local);
    if (!day) {
        return std::nullopt;
    }
    // Guess the day's bounds from the wall-clock time as if no clock change
    // fell on the day, and keep each guess only if the calendar confirms it.
    // On a day with a change the cache then covers less of the day (down to
    // this one moment), never more, so no moment is filed under a wrong day.
    const std::time_t sinceMidnight = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const std::time_t midnight = unixSeconds - sinceMidnight;
    const std::time_t nextMidnight = midnight + 24 * 3600;
    m_dayBegin = resolve(midnight) == day ? midnight : unixSeconds;
    m_dayEnd = nextMidnight > unixSeconds && resolve(nextMidnight - 1) == day ? nextMidnight : unixSeconds + 1;
    m_day = *day;
    return day;
}

std::optional<local_days> LocalDayResolver::dayOf(std::chrono::system_clock::time_point time)
{
    return dayOf(std::chrono::system_clock::to_time_t(time));
}

std::optional<local_days> LocalDayResolver::dayOfReferenceSeconds(double seconds)
{
    // Keep far inside time_t and the C library's year range (about +-10^11 s is
    // +-3000 years); such dates only come from a damaged or foreign file.
    constexpr double kLimit = 1e11;
    if (!(std::fabs(seconds) < kLimit)) {
        return std::nullopt;
    }
    return dayOf(static_cast<std::time_t>(std::floor(seconds)) + kReferenceDateUnixSeconds);
}

} // namespace quillo
