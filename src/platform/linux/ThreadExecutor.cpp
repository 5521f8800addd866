#include "platform/linux/ThreadExecutor.h"

namespace quillo {

ThreadExecutor::ThreadExecutor(unsigned threadCount)
{
    for (unsigned i = 0; i < (threadCount == 0 ? 1 : threadCount); ++i) {
        m_threads.emplace_back([this](std::stop_token stop) { work(stop); });
    }
}

ThreadExecutor::~ThreadExecutor()
{
    {
        // Under the lock, so a worker between testing the wait's condition and
        // blocking cannot miss both the stop and the wake-up, and sleep forever.
        std::lock_guard lock(m_mutex);
        for (auto& thread : m_threads) {
            thread.request_stop();
        }
    }
    m_ready.notify_all();
    m_threads.clear(); // joins; the workers drain the queue before leaving
}

void ThreadExecutor::run(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_ready.notify_one();
}

void ThreadExecutor::work(std::stop_token stop)
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [&] { return stop.stop_requested() || !m_tasks.empty(); });
            if (m_tasks.empty()) {
                return; // stop requested and nothing left to do
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

} // namespace quillo
