#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillo {

// The microphone recorder as the hotkey manager drives it: one recording at a
// time, into a new file each time.
//
// Threading: main thread.
class Recorder
{
public:
    using Completion = std::function<void(const std::optional<std::string>& audioPath)>;

    virtual ~Recorder() = default;

    // Starts recording into a new file. Never fails visibly: a recording that
    // could not start simply yields no file when it is stopped. Starting while
    // a recording runs abandons that one and starts afresh.
    virtual void startRecording() = 0;

    // Stops and finalises the recording, then calls `completion` exactly once,
    // before returning, with the recorded file, or nothing when no recording
    // was running.
    virtual void stopRecording(Completion completion) = 0;

    // Stops the recording and throws it away: its file is deleted. Does
    // nothing when no recording is running.
    virtual void cancelRecording() = 0;
};

} // namespace quillo
