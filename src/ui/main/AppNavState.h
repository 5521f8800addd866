#pragma once

#include <vector>

#include <QObject>

#include "base/NavItem.h"

namespace quillo {

// The one selected page of the main window. The sidebar writes it on a click,
// the tray's "Open Quillo" writes it through MainWindowController, and the
// page area follows it. Not saved: every launch starts on Home.
//
// Threading: main thread only.
class AppNavState final : public QObject
{
    Q_OBJECT

public:
    explicit AppNavState(QObject* parent = nullptr);

    NavItem selection() const { return m_selection; }
    // Emits selectionChanged only when the page actually changes.
    void setSelection(NavItem item);

signals:
    void selectionChanged(quillo::NavItem item);

private:
    NavItem m_selection = NavItem::home;
};

// Sidebar title and icon-theme names (first found wins) of each page.
QString navTitle(NavItem item);
std::vector<const char*> navIconNames(NavItem item);
inline constexpr NavItem kAllNavItems[] =
    {NavItem::home, NavItem::insights, NavItem::history, NavItem::dictionary, NavItem::snippets, NavItem::settings};

} // namespace quillo
