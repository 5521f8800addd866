#pragma once

#include <chrono>
#include <map>
#include <mutex>

#include "fakes/ManualExecutor.h"
#include "platform/MainQueue.h"

namespace quillo::test {

// A main queue the test drains by hand, with its own notion of time for
// delayed tasks, so timelines are checked without sleeping.
class ManualMainQueue final : public MainQueue
{
public:
    void post(Task task) override { m_ready.push(std::move(task)); }
    void postAfter(std::chrono::milliseconds delay, Task task) override
    {
        std::lock_guard lock(m_mutex);
        m_delayed.emplace(m_now + delay, std::move(task));
    }

    // Runs queued immediate tasks (and the ones they post); returns how many ran.
    int drain() { return m_ready.drain(); }
    // Moves time forward, running every task that falls due, in deadline order,
    // draining immediate tasks as it goes.
    void advance(std::chrono::milliseconds by)
    {
        drain();
        const auto target = elapsed() + by;
        for (;;) {
            Task task;
            {
                std::lock_guard lock(m_mutex);
                auto next = m_delayed.begin();
                if (next == m_delayed.end() || next->first > target) {
                    m_now = target;
                    return;
                }
                m_now = next->first;
                task = std::move(next->second);
                m_delayed.erase(next);
            }
            task();
            drain();
        }
    }
    std::chrono::milliseconds elapsed() const
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

private:
    ManualTasks m_ready;
    mutable std::mutex m_mutex; // guards m_delayed and m_now
    std::multimap<std::chrono::milliseconds, Task> m_delayed;
    std::chrono::milliseconds m_now{0};
};

} // namespace quillo::test
