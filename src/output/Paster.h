#pragma once

#include <string>

namespace quillo {

// Puts text at the cursor of the front application.
//
// Threading: main thread. Returns at once; the keystrokes follow on timers.
class Paster
{
public:
    virtual ~Paster() = default;
    virtual void paste(const std::string& text, bool simulateEnter) = 0;
    // Only puts the text on the clipboard, for the user to paste where they like.
    virtual void copy(const std::string& text) = 0;
};

} // namespace quillo
