#pragma once

#include <chrono>
#include <functional>

namespace quillo {

// Runs closures on the main (UI) thread, in the order they were posted.
//
// Threading: post and postAfter may be called from any thread; the closures
// always run later on the main thread, never inside the call that posted them.
// Closures still queued when the queue is destroyed are dropped, so a closure
// that outlives its owner must check a weak reference before touching it.
class MainQueue
{
public:
    using Task = std::function<void()>;

    virtual ~MainQueue() = default;

    virtual void post(Task task) = 0;
    // Runs the task no earlier than `delay` from now. Tasks posted with equal
    // deadlines run in posting order.
    virtual void postAfter(std::chrono::milliseconds delay, Task task) = 0;
};

} // namespace quillo
