#pragma once

#include "base/NavItem.h"

namespace quillo {

// Owner of the main window.
//
// Threading: main thread.
class MainWindowHost
{
public:
    virtual ~MainWindowHost() = default;
    // Selects the page and brings the window to the front, creating it on
    // first use. Closing the window only hides it.
    virtual void showMainWindow(NavItem tab) = 0;
};

} // namespace quillo
