#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>

#include "platform/MainQueue.h"

namespace quillo::test {

// A main queue the test drains by hand, with its own notion of time for
// delayed tasks, so timelines are checked without sleeping.
class ManualMainQueue final : public MainQueue
{
public:
    void post(Task task) override;
    void postAfter(std::chrono::milliseconds delay, Task task) override;

    // Runs queued immediate tasks (and the ones they post) until none is left.
    // Returns how many ran.
    int drain();
    // Moves time forward, running every task that falls due, in deadline order,
    // draining immediate tasks as it goes.
    void advance(std::chrono::milliseconds by);
    std::chrono::milliseconds elapsed() const;
    std::size_t pendingCount() const;

private:
    mutable std::mutex m_mutex; // guards the queues and m_now
    std::deque<Task> m_ready;
    std::multimap<std::chrono::milliseconds, Task> m_delayed;
    std::chrono::milliseconds m_now{0};
};

} // namespace quillo::test
