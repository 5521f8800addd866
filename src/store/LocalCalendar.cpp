#include "store/LocalCalendar.h"

#include <cmath>
#include <limits>

#include "store/DictationEntry.h"

namespace quillo {

namespace {

using std::chrono::local_days;

std::optional<local_days> dayOfTm(const std::tm& local)
{
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
    if (!localtime_r(&moment, &local)) {
        return std::nullopt;
    }
    return dayOfTm(local);
}

// The moment the local clock reads 00:00 on `day` (or the first moment of the
// day where midnight is skipped), as mktime places it; nothing when it fails.
std::optional<std::time_t> localMidnight(local_days day)
{
    const std::chrono::year_month_day date{day};
    std::tm local{};
    local.tm_year = static_cast<int>(date.year()) - 1900;
    local.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    local.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    local.tm_isdst = -1;
    const std::time_t midnight = std::mktime(&local);
    if (midnight == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return midnight;
}

} // namespace

std::optional<local_days> LocalDayResolver::dayOf(std::time_t unixSeconds)
{
    if (unixSeconds >= m_dayBegin && unixSeconds < m_dayEnd) {
        return m_day;
    }
    const auto day = resolve(unixSeconds);
    if (!day) {
        return std::nullopt;
    }
    // Remember the day's bounds, but only bounds that are checked to lie on
    // the day: mktime's answer for a skipped or repeated midnight varies, and a
    // wrong cache would file later moments under the wrong day.
    std::time_t begin = unixSeconds;
    std::time_t end = unixSeconds + 1;
    if (const auto midnight = localMidnight(*day); midnight && *midnight <= unixSeconds && resolve(*midnight) == day) {
        begin = *midnight;
    }
    if (const auto next = localMidnight(*day + std::chrono::days{1});
        next && *next > unixSeconds && resolve(*next - 1) == day) {
        end = *next;
    }
    m_dayBegin = begin;
    m_dayEnd = end;
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
