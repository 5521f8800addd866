#pragma once

#include <string>

namespace quillo {

// The shortcuts applications paste with: Ctrl+V almost everywhere,
// Ctrl+Shift+V in terminals (where Ctrl+V types a control character), and
// Shift+Insert, which older X11 terminals answer with the primary selection.
enum class PasteKeys
{
    ctrlV,
    ctrlShiftV,
    shiftInsert
};

// Key presses made on the user's behalf, delivered to the focused window of
// the front application as if typed.
//
// Threading: main thread. Each press sends its key-down and key-up events at
// once, in order, and returns.
// Failure: nothing is reported. Without the means to synthesise keys (the
// "accessibility" permission, checked elsewhere) or without a key that types
// the wanted character, the press is dropped.
class KeySynthesizer
{
public:
    // What presses sent from here can achieve in this session.
    enum class Reach
    {
        none,       // nothing can be sent (no means, or the desktop refused): every press is dropped
        typingOnly, // typed text arrives; shortcuts do not reliably reach applications
        everything
    };

    virtual ~KeySynthesizer() = default;

    // May change after a press, when sending turns out to fail.
    virtual Reach reach() = 0;

    // A paste shortcut. The "V" is whichever key types "v" in the keyboard
    // layout in use, so the shortcut works in Dvorak, AZERTY and other layouts
    // too.
    virtual void pressPaste(PasteKeys keys) = 0;

    // Types `text` (UTF-8) key by key, for applications that refuse pastes.
    // Characters the layout has no key for are typed all the same; a line
    // break is typed as Return. Returns once every key has been sent.
    virtual void typeText(const std::string& text) = 0;

    // Return, with no modifier of its own.
    virtual void pressReturn() = 0;

    // True while the user holds a modifier key (Shift, Ctrl, Alt, Super,
    // AltGr...). Synthetic keys combine with held modifiers on some platforms,
    // so a paste sent now could arrive as Ctrl+Shift+V. Lock states such as
    // Caps Lock and Num Lock do not count.
    virtual bool modifiersHeld() = 0;
};

} // namespace quillo
