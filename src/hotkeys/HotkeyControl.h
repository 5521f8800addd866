#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillo {

// What the dictation controller needs from the hotkey manager: three
// callbacks, a start, the on/off switch, and the commands that act like keys.
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

    // Requests from outside the keyboard (the desktop's own shortcuts, scripts,
    // pedals). `start` and `stop` are the press and release of a hold key of
    // their own, `toggle` a press of the hands-free key, `pasteLast` a press of
    // the paste-last key; `cancel` throws away the recording in progress
    // whatever started it. Like the keys, they do nothing while disabled.
    enum class Command
    {
        start,
        stop,
        toggle,
        cancel,
        pasteLast
    };

    virtual ~HotkeyControl() = default;
    virtual void setCallbacks(Callbacks callbacks) = 0;
    virtual void start() = 0;
    // While false, bound keys do nothing.
    virtual void setEnabled(bool enabled) = 0;
    // Ends a recording in progress as if its key had been released, so a
    // dictation under way when the program quits is not lost.
    virtual void finishRecording() = 0;
    virtual void runCommand(Command command) = 0;
};

} // namespace quillo
