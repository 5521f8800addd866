#pragma once

// Helpers shared by the store's tests: a fixed time zone for the duration of a
// test, and history entries made at local wall-clock times.

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "base/DictationEntry.h"

namespace quillo::test {

// Sets TZ for its lifetime and puts the previous value back afterwards.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ")) {
            m_previous = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        m_previous ? ::setenv("TZ", m_previous->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_previous;
};

// A local wall-clock time in the current TZ (the first occurrence when the
// clock shows it twice).
inline std::chrono::system_clock::time_point
localTime(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// `count` words of one letter.
inline std::string words(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "w ";
    }
    return text;
}

inline DictationEntry
entryAt(std::chrono::system_clock::time_point when, std::string text = "one two three", double duration = 0)
{
    return DictationEntry("00000000-0000-4000-8000-000000000000", std::move(text), toReferenceSeconds(when), duration);
}

} // namespace quillo::test
