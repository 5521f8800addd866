#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillo {

// What the dictation controller needs from the hotkey manager: three
// callbacks, a start, and the on/off switch.
//
// Threading: main thread; the callbacks are invoked on the main thread.
class HotkeyControl
{
public:
    struct Callbacks
    {
        std::function<void()> onStartRecording;
        // The recorded file, or nothing when the recorder produced none.
        std::function<void(const std::optional<std::string>& audioPath)> onStopRecording;
        // The recording was thrown away (the keys were part of a shortcut);
        // there is nothing to process and nothing to tell.
        std::function<void()> onCancelRecording;
        std::function<void()> onPasteLast;
    };

    virtual ~HotkeyControl() = default;
    virtual void setCallbacks(Callbacks callbacks) = 0;
    virtual void start() = 0;
    // While false, bound keys do nothing.
    virtual void setEnabled(bool enabled) = 0;
    // Ends a recording in progress as if its key had been released, so a
    // dictation under way when the program quits is not lost.
    virtual void finishRecording() = 0;
};

} // namespace quillo
