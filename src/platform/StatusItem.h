#pragma once

#include <functional>
#include <string>

namespace quillo {

// The tray icon and its menu.
//
// Threading: main thread; menu actions are called on the main thread.
class StatusItem
{
public:
    struct Actions
    {
        std::function<void()> toggleDictation;
        std::function<void()> openMainWindow;
        std::function<void()> quit;
    };

    virtual ~StatusItem() = default;

    // Builds the item and its menu ("Quillo" heading, the dictation switch,
    // "Open Quillo", "Quit Quillo"). Returns false when the desktop offers no
    // tray; the program then runs without one and the other calls do nothing.
    virtual bool setUp(Actions actions) = 0;

    // Shows the named icon (freedesktop-style names mapped by the
    // implementation); when no such icon exists, `fallbackText` is drawn
    // centred instead, so the icon is never empty.
    virtual void setImage(const std::string& symbolName, const std::string& fallbackText) = 0;

    // Title of the dictation on/off menu entry.
    virtual void setToggleTitle(const std::string& title) = 0;
};

} // namespace quillo
