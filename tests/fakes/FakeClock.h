#pragma once

#include <mutex>

#include "platform/Clock.h"

namespace quillo::test {

// Time that moves only when the test says so. Both clocks advance together.
class FakeClock final : public Clock
{
public:
    std::chrono::system_clock::time_point now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_wall;
    }
    std::chrono::steady_clock::time_point monotonicNow() const override
    {
        std::lock_guard lock(m_mutex);
        return m_steady;
    }
    void setNow(std::chrono::system_clock::time_point wall)
    {
        std::lock_guard lock(m_mutex);
        m_wall = wall;
    }
    template <typename Duration> void advance(Duration by)
    {
        std::lock_guard lock(m_mutex);
        m_wall += std::chrono::duration_cast<std::chrono::system_clock::duration>(by);
        m_steady += std::chrono::duration_cast<std::chrono::steady_clock::duration>(by);
    }

private:
    mutable std::mutex m_mutex; // guards both time points
    // 2026-03-02 09:00:00 UTC, a Monday: an arbitrary, fixed start.
    std::chrono::system_clock::time_point m_wall{std::chrono::seconds(1772442000)};
    std::chrono::steady_clock::time_point m_steady{std::chrono::hours(1)};
};

} // namespace quillo::test
