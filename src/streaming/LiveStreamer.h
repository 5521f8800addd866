#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace quillo {

// Live transcription of one recording while the user speaks. Never reports an
// error: a failed stream simply yields no transcript, and the recording is
// uploaded instead.
class LiveStreamer
{
public:
    virtual ~LiveStreamer() = default;
    // Main thread. Starts capturing and streaming; returns at once.
    virtual void start() = 0;
    // Background thread; blocks until the stream is flushed (bounded wait).
    // The transcript, or nothing when streaming failed or heard nothing.
    virtual std::optional<std::string> finish() = 0;
    // Any thread. Drops the stream without waiting for a result.
    virtual void cancel() = 0;
};

class LiveStreamerFactory
{
public:
    virtual ~LiveStreamerFactory() = default;
    // Whether a recording in these languages should stream.
    virtual bool shouldStream(const std::set<std::string>& languages) = 0;
    virtual std::shared_ptr<LiveStreamer> create() = 0;
};

} // namespace quillo
