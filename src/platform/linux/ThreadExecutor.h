#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Executor.h"

namespace quillo {

// Runs each task on a thread of a small pool. Dictations rarely overlap, so a
// couple of threads are plenty; extra tasks wait their turn. The destructor
// finishes every queued task and joins the threads, so no dictation in
// progress is lost at shutdown.
class ThreadExecutor final : public Executor
{
public:
    explicit ThreadExecutor(unsigned threadCount = 2);
    ~ThreadExecutor() override;

    ThreadExecutor(const ThreadExecutor&) = delete;
    ThreadExecutor& operator=(const ThreadExecutor&) = delete;

    void run(Task task) override;

private:
    void work(std::stop_token stop);

    std::mutex m_mutex;                  // guards m_tasks
    std::condition_variable_any m_ready; // signalled when a task is queued or on stop
    std::deque<Task> m_tasks;
    std::vector<std::jthread> m_threads;
};

} // namespace quillo
