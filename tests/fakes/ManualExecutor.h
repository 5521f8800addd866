#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "platform/Executor.h"

namespace quillo::test {

// Tasks queued from any thread that run only when the test drains them, on the test's thread.
class ManualTasks
{
public:
    void push(std::function<void()> task)
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    // Runs queued tasks (and any they queue) until none is left; returns how many ran.
    int drain()
    {
        for (int ran = 0;; ++ran) {
            std::function<void()> task;
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
    std::mutex m_mutex; // guards m_tasks
    std::deque<std::function<void()>> m_tasks;
};

// Background work that runs only when the test says so, on the test's thread.
class ManualExecutor final : public Executor
{
public:
    void run(Task task) override { m_tasks.push(std::move(task)); }
    int drain() { return m_tasks.drain(); }

private:
    ManualTasks m_tasks;
};

} // namespace quillo::test
