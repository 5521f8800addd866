#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "hotkeys/HotkeyControl.h"
#include "hotkeys/HotkeyStore.h"

namespace quillo {

class Alert;
class KeyEventSource;
class Log;
class MainQueue;
class Permissions;
class Preferences;
class Recorder;
struct KeyEvent;

// Turns presses and releases of the bound keys, anywhere on the desktop, into
// start recording, stop recording and paste-last. It owns the recorder and
// starts and stops it itself; the dictation controller only hears about it
// through the callbacks.
//
// A hold key records while it is down; a toggle key starts a recording with
// one press and ends it with the next; the paste-last key works at any time.
// A hold key pressed during a toggle recording, and a toggle key pressed
// during a hold recording, are ignored. The state follows the keys alone:
// nothing the controller or the recorder does moves it.
//
// A bound key is also a modifier on many keyboards (Right Alt is AltGr, Right
// Ctrl starts shortcuts). When any key that is not bound goes down while the
// key that started the recording is still held, the user is typing a shortcut:
// the recording is thrown away (the recorder deletes it) and the controller
// hears that it was cancelled, so nothing is uploaded, pasted or stored.
//
// The bindings are read afresh on every key event, so an edit in the settings
// applies from the next press.
//
// Threading: main thread. Callbacks and recorder calls are always queued on
// the main queue, never made from inside a key event; queued work does nothing
// once the manager is gone.
class HotkeyManager final : public HotkeyControl
{
public:
    struct Dependencies
    {
        Preferences& preferences;
        MainQueue& mainQueue;
        Log& log;
        Permissions& permissions;
        Alert& alert;
        // Must outlive the manager.
        KeyEventSource& keyEvents;
        // Owned; must not be null.
        std::unique_ptr<Recorder> recorder;
        // Shows the help on getting global keys to work; the alert's first
        // button calls it.
        std::function<void()> openAccessibilitySettings;
    };

    // How long after start() the missing-permission alert appears, so that it
    // comes up after the windows of the launch.
    static constexpr std::chrono::milliseconds kAlertDelay{500};

    explicit HotkeyManager(Dependencies dependencies);
    ~HotkeyManager() override;

    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    void setCallbacks(Callbacks callbacks) override;

    // Checks the key permission (logging the answer and, when it is missing,
    // alerting the user), then starts listening to the keyboard.
    void start() override;
    // Stops listening. The program never needs it (the manager lives as long
    // as the process); it is start()'s counterpart.
    void stop();

    // While disabled every key event is ignored. Switching does not end a
    // recording in progress.
    void setEnabled(bool enabled) override;
    void finishRecording() override;
    void runCommand(Command command) override;
    bool isEnabled() const { return m_isEnabled; }

private:
    enum class RecordingSource
    {
        hold,
        toggle
    };

    void checkAccessibility();
    void showAccessibilityAlert();

    void handle(const KeyEvent& event);
    void dispatch(int keyCode, bool down);
    bool isChordWithHeldKey(const KeyEvent& event) const;
    void beginRecording();
    void endRecording();
    void cancelRecording(const char* why);
    void pasteLast();

    Dependencies m_deps;
    HotkeyStore m_store;
    Callbacks m_callbacks;

    bool m_isEnabled = true;
    bool m_isListening = false;
    bool m_isRecording = false;
    RecordingSource m_recordingSource = RecordingSource::hold;
    std::optional<int> m_activeHoldKeyCode; // the key whose release ends a hold recording (or kCommandKey)
    std::optional<int> m_heldStartKey;      // the key that started the recording, while still down

    // Queued work holds this weakly and does nothing once it has expired
    // (the manager's owner keeps it in a unique_ptr, so there is no
    // shared_from_this to use).
    std::shared_ptr<HotkeyManager*> m_self;
};

} // namespace quillo
