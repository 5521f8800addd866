#pragma once

#include <chrono>

namespace quillo {

// Time, so that every duration and date in the program can be faked in tests.
//
// Threading: any thread.
class Clock
{
public:
    virtual ~Clock() = default;
    // Wall-clock time: history dates, durations between two user events.
    virtual std::chrono::system_clock::time_point now() const = 0;
    // Monotonic time for measuring elapsed intervals.
    virtual std::chrono::steady_clock::time_point monotonicNow() const = 0;
};

} // namespace quillo
