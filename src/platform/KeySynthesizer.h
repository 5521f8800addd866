#pragma once

namespace quillo {

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
    virtual ~KeySynthesizer() = default;

    // The platform's paste shortcut (Command-V; Ctrl+V on Linux). The "V" is
    // whichever key types "v" in the keyboard layout in use, so the shortcut
    // works in Dvorak, AZERTY and other layouts too.
    virtual void pressPaste() = 0;

    // Return, with no modifier of its own.
    virtual void pressReturn() = 0;

    // True while the user holds a modifier key (Shift, Ctrl, Alt, Super,
    // AltGr...). Synthetic keys combine with held modifiers on some platforms,
    // so a paste sent now could arrive as Ctrl+Shift+V. Lock states such as
    // Caps Lock and Num Lock do not count.
    virtual bool modifiersHeld() = 0;
};

} // namespace quillo
