#pragma once

#include <memory>
#include <utility>

namespace quillo {

// Wraps `call` so that it runs with its owner only while the owner still
// lives: callbacks handed to other threads, timers and sockets may outlive the
// object that asked for them. `call` gets the owner first, then the callback's
// own arguments.
template <typename Owner, typename Call> auto ifAlive(std::weak_ptr<Owner> owner, Call call)
{
    return [owner = std::move(owner), call = std::move(call)](auto&&... args) {
        if (auto self = owner.lock()) {
            call(*self, std::forward<decltype(args)>(args)...);
        }
    };
}

// The same, run on the main thread: `queue.post(...)` of the wrapped call, for
// any queue with MainQueue's post (kept generic so the base layer needs no
// platform header).
template <typename Queue, typename Owner, typename Call>
void postIfAlive(Queue& queue, std::weak_ptr<Owner> owner, Call call)
{
    queue.post(ifAlive(std::move(owner), std::move(call)));
}

} // namespace quillo
