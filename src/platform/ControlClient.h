#pragma once

#include <string>

namespace quillo {

// The command line's way to the running Quillo: asks it to act as its keys
// would, or what it is doing. It never starts a Quillo that is not running.
//
// Threading: one caller at a time; each call blocks for a bounded time.
// Failure: nothing throws; the answer says what went wrong.
class ControlClient
{
public:
    struct Answer
    {
        enum class Status
        {
            done,       // taken; `text` holds what was asked for (the state), if anything
            refused,    // Quillo runs but would not do it; `text` says why
            notRunning, // no Quillo in this session
            failed      // no session bus, or no answer in time; `text` says which
        };
        Status status = Status::failed;
        std::string text;
    };

    virtual ~ControlClient() = default;

    // Calls one method of the control interface ("Start", "Stop", "Toggle",
    // "Cancel", "PasteLast").
    virtual Answer call(const std::string& method) = 0;
    // Reads the state: "idle", "recording" or "processing".
    virtual Answer state() = 0;
};

} // namespace quillo
