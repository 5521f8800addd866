#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillo {

// What the focused text field of another application shows, as that
// application reports it to assistive technologies.
struct AccessibleTextSnapshot
{
    std::string text;        // UTF-8, the whole content
    std::int32_t caret = -1; // in characters; -1 when the application does not say
    bool isTerminal = false; // a terminal shows what the program in it echoes, not what was typed
};

// Reads the text the user is typing into, so a paste can be confirmed by
// seeing its text arrive.
//
// Threading: main thread. Each call may wait for the other application to
// answer; implementations bound that wait to a few tens of milliseconds.
// Failure: nothing is thrown. Whatever cannot be read (no accessibility
// service, an application that exposes no text, an unresponsive one) reads as
// nothing, and the caller treats the paste as unverifiable.
class TextDeliveryCheck
{
public:
    virtual ~TextDeliveryCheck() = default;

    // Finds the text field that has the keyboard focus now, remembers it for
    // `readAgain` and returns its content. Nothing when no readable text field
    // has the focus. Password fields are never read: they answer nothing.
    virtual std::optional<AccessibleTextSnapshot> readFocusedText() = 0;

    // The field found by the last `readFocusedText`, read again. Nothing when
    // there is none or it has gone.
    virtual std::optional<AccessibleTextSnapshot> readAgain() = 0;
};

// For desktops without an accessibility service: every paste is unverified.
class NoTextDeliveryCheck final : public TextDeliveryCheck
{
public:
    std::optional<AccessibleTextSnapshot> readFocusedText() override { return std::nullopt; }
    std::optional<AccessibleTextSnapshot> readAgain() override { return std::nullopt; }
};

} // namespace quillo
