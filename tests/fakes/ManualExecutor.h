#pragma once

#include <deque>
#include <mutex>

#include "platform/Executor.h"

namespace quillo::test {

// Background work that runs only when the test says so, on the test's thread.
class ManualExecutor final : public Executor
{
public:
    void run(Task task) override
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    // Runs queued tasks (and any they queue) until none is left; returns how many ran.
    int drain()
    {
        for (int ran = 0;; ++ran) {
            Task task;
            {
                std::lock_guard lock(m_mutex);
                if (m_tasks.empty()) {
                    return ran;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

private:
    mutable std::mutex m_mutex; // guards m_tasks
    std::deque<Task> m_tasks;
};

} // namespace quillo::test
