#include "fakes/ManualMainQueue.h"

namespace quillo::test {

void ManualMainQueue::post(Task task)
{
    std::lock_guard lock(m_mutex);
    m_ready.push_back(std::move(task));
}

void ManualMainQueue::postAfter(std::chrono::milliseconds delay, Task task)
{
    std::lock_guard lock(m_mutex);
    m_delayed.emplace(m_now + delay, std::move(task));
}

int ManualMainQueue::drain()
{
    int ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(m_mutex);
            if (m_ready.empty()) {
                return ran;
            }
            task = std::move(m_ready.front());
            m_ready.pop_front();
        }
        task();
        ++ran;
    }
}

void ManualMainQueue::advance(std::chrono::milliseconds by)
{
    drain();
    std::chrono::milliseconds target;
    {
        std::lock_guard lock(m_mutex);
        target = m_now + by;
    }
    for (;;) {
        Task task;
        {
            std::lock_guard lock(m_mutex);
            auto next = m_delayed.begin();
            if (next == m_delayed.end() || next->first > target) {
                m_now = target;
                break;
            }
            m_now = next->first;
            task = std::move(next->second);
            m_delayed.erase(next);
        }
        task();
        drain();
    }
    drain();
}

std::chrono::milliseconds ManualMainQueue::elapsed() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::size_t ManualMainQueue::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_ready.size() + m_delayed.size();
}

} // namespace quillo::test
