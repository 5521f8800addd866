#pragma once

#include <functional>

namespace quillo {

// Runs work off the main thread (one dictation's network work, for example).
//
// Threading: `run` may be called from any thread and returns at once; the task
// runs later on some background thread. Tasks may run concurrently. The
// executor finishes every task it accepted before it is destroyed.
class Executor
{
public:
    using Task = std::function<void()>;
    virtual ~Executor() = default;
    virtual void run(Task task) = 0;
};

} // namespace quillo
