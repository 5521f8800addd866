#include "hotkeys/HotkeyManager.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audio/Recorder.h"
#include "base/KeyCodes.h"
#include "platform/Alert.h"
#include "platform/KeyEventSource.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Permissions.h"

namespace quillo {

namespace {

bool isModifierKey(int keyCode)
{
    return modifierFamilyFlag(keyCode).has_value();
}

bool contains(const std::vector<int>& codes, int keyCode)
{
    return std::find(codes.begin(), codes.end(), keyCode) != codes.end();
}

// The hold "key" of the start and stop commands: no key event carries it.
constexpr int kCommandKey = -1;

// The manager, if it still exists. Not to be kept across a call that may
// destroy it (a callback): ask again afterwards.
HotkeyManager* alive(const std::weak_ptr<HotkeyManager*>& weak)
{
    const auto strong = weak.lock();
    return strong ? *strong : nullptr;
}

} // namespace

HotkeyManager::HotkeyManager(Dependencies dependencies)
    : m_deps(std::move(dependencies)), m_store(m_deps.preferences), m_self(std::make_shared<HotkeyManager*>(this))
{}

HotkeyManager::~HotkeyManager()
{
    stop();
}

void HotkeyManager::setCallbacks(Callbacks callbacks)
{
    m_callbacks = std::move(callbacks);
}

void HotkeyManager::setEnabled(bool enabled)
{
    m_isEnabled = enabled;
}

// ------------------------------------------------------------------ start

void HotkeyManager::start()
{
    checkAccessibility();

    std::weak_ptr<HotkeyManager*> weak = m_self;
    const KeyEventSource::Started started = m_deps.keyEvents.start([weak](const KeyEvent& event) {
        if (HotkeyManager* self = alive(weak)) {
            self->handle(event);
        }
    });
    m_isListening = true;
    if (!started.watchingKeys) {
        m_deps.log.write("[Quillo] global flagsChanged monitor is nil \u2014 Accessibility permission missing");
    }
    m_deps.log.write("[Quillo] Fn tap created: " + started.fnChannel.value_or("FAILED"));
}

void HotkeyManager::stop()
{
    if (m_isListening) {
        m_deps.keyEvents.stop();
        m_isListening = false;
    }
}

void HotkeyManager::checkAccessibility()
{
    if (m_deps.permissions.isAccessibilityTrusted()) {
        m_deps.log.write("[Quillo] AXIsProcessTrusted = true");
        return;
    }
    m_deps.log.write("[Quillo] AXIsProcessTrusted = false \u2014 showing alert");
    std::weak_ptr<HotkeyManager*> weak = m_self;
    m_deps.mainQueue.postAfter(kAlertDelay, [weak] {
        if (HotkeyManager* self = alive(weak)) {
            self->showAccessibilityAlert();
        }
    });
}

void HotkeyManager::showAccessibilityAlert()
{
    Alert::Content content;
    content.style = Alert::Style::warning;
    content.title = "Hotkeys Unavailable";
    content.text = "Quillo cannot see its hotkeys in other apps.\n\n" + m_deps.permissions.accessibilityAdvice();
    content.buttons = {"Show Help", "Later"};

    // The manager may be gone when the modal loop returns.
    std::weak_ptr<HotkeyManager*> weak = m_self;
    const auto choice = m_deps.alert.runModal(content);
    HotkeyManager* self = alive(weak);
    if (self && choice == 0u && self->m_deps.openAccessibilitySettings) {
        self->m_deps.openAccessibilitySettings();
    }
}

// ------------------------------------------------------------- key events

bool HotkeyManager::isChordWithHeldKey(const KeyEvent& event) const
{
    if (!m_isRecording || !m_heldStartKey) {
        return false;
    }
    bool isPress = false;
    if (event.type == KeyEvent::Type::keyDown) {
        isPress = !event.isRepeat;
    } else if (event.type == KeyEvent::Type::flagsChanged) {
        const auto flag = modifierFamilyFlag(event.keyCode);
        isPress = flag && (event.modifierFlags & *flag) != 0;
    }
    if (!isPress || event.keyCode == keycode::fn) {
        return false;
    }
    // The held key's twin adds nothing to it: both Supers down are no shortcut.
    const auto family = modifierFamilyFlag(event.keyCode);
    if (family && family == modifierFamilyFlag(*m_heldStartKey)) {
        return false;
    }
    return !contains(m_store.pasteLastCodes(), event.keyCode) && !contains(m_store.holdCodes(), event.keyCode) &&
           !contains(m_store.toggleCodes(), event.keyCode);
}

void HotkeyManager::handle(const KeyEvent& event)
{
    if (!m_isEnabled) {
        return;
    }
    if (isChordWithHeldKey(event)) {
        cancelRecording("another key was pressed with the hotkey");
        return;
    }
    if (m_heldStartKey == event.keyCode) {
        const auto flag = modifierFamilyFlag(event.keyCode);
        const bool released = event.type == KeyEvent::Type::keyUp || (event.type == KeyEvent::Type::flagsChanged &&
                                                                      flag && (event.modifierFlags & *flag) == 0);
        if (released) {
            m_heldStartKey.reset();
        }
    }
    switch (event.type) {
    case KeyEvent::Type::fnChanged:
        if (event.keyCode == keycode::fn) {
            dispatch(keycode::fn, (event.modifierFlags & modifierFlag::fn) != 0);
        }
        return;
    case KeyEvent::Type::flagsChanged: {
        // Fn is left to the Fn channel, which sees it reliably.
        const auto flag = modifierFamilyFlag(event.keyCode);
        if (event.keyCode == keycode::fn || !flag) {
            return;
        }
        // The family's flag, not the key's own state: while the twin key of
        // the same family is held, releasing this one still reads as down.
        dispatch(event.keyCode, (event.modifierFlags & *flag) != 0);
        return;
    }
    case KeyEvent::Type::keyDown:
        if (!isModifierKey(event.keyCode) && !event.isRepeat) {
            dispatch(event.keyCode, true);
        }
        return;
    case KeyEvent::Type::keyUp:
        // Only the release of the key that began a hold recording matters,
        // whatever the bindings say by now.
        if (!isModifierKey(event.keyCode) && m_isRecording && m_recordingSource == RecordingSource::hold &&
            m_activeHoldKeyCode == event.keyCode) {
            m_isRecording = false;
            m_activeHoldKeyCode.reset();
            endRecording();
        }
        return;
    }
}

void HotkeyManager::dispatch(int keyCode, bool down)
{
    // The first list holding the key decides; the others are not consulted.
    if (contains(m_store.pasteLastCodes(), keyCode)) {
        if (down) {
            pasteLast();
        }
        return;
    }

    if (contains(m_store.holdCodes(), keyCode)) {
        if (down) {
            if (!m_isRecording) {
                m_isRecording = true;
                m_recordingSource = RecordingSource::hold;
                m_activeHoldKeyCode = keyCode;
                m_heldStartKey = keyCode;
                beginRecording();
            }
        } else if (m_isRecording && m_recordingSource == RecordingSource::hold && m_activeHoldKeyCode == keyCode) {
            m_isRecording = false;
            m_activeHoldKeyCode.reset();
            endRecording();
        }
        return;
    }

    if (contains(m_store.toggleCodes(), keyCode) && down) {
        if (!m_isRecording) {
            m_isRecording = true;
            m_recordingSource = RecordingSource::toggle;
            m_heldStartKey = keyCode;
            beginRecording();
        } else if (m_recordingSource == RecordingSource::toggle) {
            m_isRecording = false;
            endRecording();
        }
    }
}

void HotkeyManager::finishRecording()
{
    if (m_isRecording) {
        m_isRecording = false;
        m_activeHoldKeyCode.reset();
        endRecording();
    }
}

void HotkeyManager::runCommand(Command command)
{
    if (!m_isEnabled) {
        return;
    }
    switch (command) {
    case Command::start:
        if (!m_isRecording) {
            m_isRecording = true;
            m_recordingSource = RecordingSource::hold;
            m_activeHoldKeyCode = kCommandKey;
            beginRecording();
        }
        return;
    case Command::stop:
        if (m_isRecording && m_recordingSource == RecordingSource::hold && m_activeHoldKeyCode == kCommandKey) {
            m_isRecording = false;
            m_activeHoldKeyCode.reset();
            endRecording();
        }
        return;
    case Command::toggle:
        // No key is held, so nothing typed afterwards can count as a shortcut.
        if (!m_isRecording) {
            m_isRecording = true;
            m_recordingSource = RecordingSource::toggle;
            beginRecording();
        } else if (m_recordingSource == RecordingSource::toggle) {
            m_isRecording = false;
            endRecording();
        }
        return;
    case Command::cancel:
        if (m_isRecording) {
            cancelRecording("cancelled by a command");
        }
        return;
    case Command::pasteLast:
        pasteLast();
        return;
    }
}

void HotkeyManager::pasteLast()
{
    std::weak_ptr<HotkeyManager*> weak = m_self;
    m_deps.mainQueue.post([weak] {
        HotkeyManager* self = alive(weak);
        // A copy: the callback may release the manager and with it m_callbacks.
        if (auto callback = self ? self->m_callbacks.onPasteLast : nullptr) {
            callback();
        }
    });
}

void HotkeyManager::cancelRecording(const char* why)
{
    m_isRecording = false;
    m_activeHoldKeyCode.reset();
    m_heldStartKey.reset();
    m_deps.log.write(std::string("[Quillo] Recording discarded: ") + why);
    std::weak_ptr<HotkeyManager*> weak = m_self;
    m_deps.mainQueue.post([weak] {
        HotkeyManager* self = alive(weak);
        if (!self) {
            return;
        }
        self->m_deps.recorder->cancelRecording();
        if (auto callback = self->m_callbacks.onCancelRecording) {
            callback();
        }
    });
}

void HotkeyManager::beginRecording()
{
    std::weak_ptr<HotkeyManager*> weak = m_self;
    m_deps.mainQueue.post([weak] {
        HotkeyManager* self = alive(weak);
        if (!self) {
            return;
        }
        if (auto callback = self->m_callbacks.onStartRecording) {
            callback();
        }
        if ((self = alive(weak))) {
            self->m_deps.recorder->startRecording();
        }
    });
}

void HotkeyManager::endRecording()
{
    m_heldStartKey.reset();
    std::weak_ptr<HotkeyManager*> weak = m_self;
    m_deps.mainQueue.post([weak] {
        if (HotkeyManager* self = alive(weak)) {
            self->m_deps.recorder->stopRecording([weak](const std::optional<std::string>& audioPath) {
                HotkeyManager* owner = alive(weak);
                if (auto callback = owner ? owner->m_callbacks.onStopRecording : nullptr) {
                    callback(audioPath);
                }
            });
        }
    });
}

} // namespace quillo
