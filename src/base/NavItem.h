#pragma once

namespace quillo {

// The six pages of the main window, in sidebar order.
enum class NavItem
{
    home,
    insights,
    history,
    dictionary,
    snippets,
    settings
};

} // namespace quillo
