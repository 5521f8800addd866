#pragma once

#include <memory>

#include "platform/KeySynthesizer.h"

namespace quillo {

// Key presses through the XTest extension: the X server treats them as typed
// on the keyboard and delivers them to the focused window.
//
// Every press looks its keys up afresh in the server's keymap, in the layout
// group in use, so a layout switched since launch is respected. Ctrl+V uses the
// key that types "v" at the first shift level of that group; when the group
// has no "v" (a Cyrillic or Greek layout), the key that types it in another
// group, which is what shortcuts follow in those layouts.
//
// Synthetic keys combine with whatever modifiers are held at that moment, so
// callers wait for `modifiersHeld()` to turn false first. Held keys are never
// released on the user's behalf: the hotkey monitor would take that for the
// user letting go of the hotkey.
class X11SyntheticKeys;

class XTestKeySynthesizer final : public KeySynthesizer
{
public:
    // Opens a connection of its own to `displayName` (nullptr: $DISPLAY).
    // Every event sent is announced to `ownKeys` first, when given; it must
    // outlive the synthesizer.
    explicit XTestKeySynthesizer(const char* displayName = nullptr, X11SyntheticKeys* ownKeys = nullptr);
    ~XTestKeySynthesizer() override;

    XTestKeySynthesizer(const XTestKeySynthesizer&) = delete;
    XTestKeySynthesizer& operator=(const XTestKeySynthesizer&) = delete;

    // False without a display or without XTest; every press is then dropped.
    bool isAvailable() const;

    Reach reach() override { return isAvailable() ? Reach::everything : Reach::none; }
    void pressPaste(PasteKeys keys) override;
    // Characters the layout lacks are typed with spare keys (keycodes without
    // symbols) mapped to them. A text with more such characters than spare
    // keys pauses half a second whenever the keys must be mapped anew.
    void typeText(const std::string& text) override;
    void pressReturn() override;
    bool modifiersHeld() override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection; // null when unavailable
};

} // namespace quillo
