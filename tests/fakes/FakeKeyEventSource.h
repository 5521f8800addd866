#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "base/KeyCodes.h"
#include "platform/KeyEventSource.h"

namespace quillo::test {

// A keyboard the test plays on. press() and release() send what a real
// desktop sends for the key: a flag change with the family flags of every
// modifier still down for modifier keys (and, when the Fn channel is open, an
// Fn event as well), key-down and key-up for the others.
class FakeKeyEventSource final : public KeyEventSource
{
public:
    Started start(Handler handler) override
    {
        m_handler = std::move(handler);
        return startAnswer;
    }
    void stop() override { m_handler = nullptr; }

    bool isStarted() const { return static_cast<bool>(m_handler); }

    void press(int keyCode)
    {
        const bool wasDown = !m_down.insert(keyCode).second;
        if (!isModifier(keyCode)) {
            send({KeyEvent::Type::keyDown, keyCode, flags(), wasDown});
        } else if (!wasDown) {
            sendModifier(keyCode);
        }
    }
    // The auto-repeat of a key held down.
    void repeat(int keyCode) { send({KeyEvent::Type::keyDown, keyCode, flags(), true}); }
    void release(int keyCode)
    {
        m_down.erase(keyCode);
        if (!isModifier(keyCode)) {
            send({KeyEvent::Type::keyUp, keyCode, flags(), false});
        } else {
            sendModifier(keyCode);
        }
    }
    // Forgets which keys are down, as after unplugging the keyboard, without
    // sending anything.
    void forgetPressedKeys() { m_down.clear(); }
    void send(const KeyEvent& event)
    {
        if (m_handler) {
            m_handler(event);
        }
    }

    Started startAnswer{true, std::nullopt};

private:
    // Desktops flag Caps Lock too; no binding may ever react to it.
    static constexpr std::uint64_t kCapsLockFlag = 0x10000;

    static bool isModifier(int keyCode) { return (keyCode >= keycode::rightCommand && keyCode <= keycode::fn); }

    std::uint64_t flags() const
    {
        // By key code, from Right Command (54) to Fn (63).
        using namespace modifierFlag;
        static constexpr std::uint64_t kFlags[] =
            {command, command, shift, kCapsLockFlag, option, control, shift, option, control, fn};
        std::uint64_t result = 0;
        for (int key : m_down) {
            result |= isModifier(key) ? kFlags[key - keycode::rightCommand] : 0;
        }
        return result;
    }

    void sendModifier(int keyCode)
    {
        send({KeyEvent::Type::flagsChanged, keyCode, flags(), false});
        if (keyCode == keycode::fn && startAnswer.fnChannel) {
            send({KeyEvent::Type::fnChanged, keyCode, flags(), false});
        }
    }

    Handler m_handler;
    std::set<int> m_down;
};

} // namespace quillo::test
