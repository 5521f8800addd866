#include "ui/main/AppNavState.h"

namespace quillo {

AppNavState::AppNavState(QObject* parent) : QObject(parent) {}

void AppNavState::setSelection(NavItem item)
{
    if (item == m_selection) {
        return;
    }
    m_selection = item;
    emit selectionChanged(item);
}

QString navTitle(NavItem item)
{
    switch (item) {
    case NavItem::home:
        return QStringLiteral("Home");
    case NavItem::insights:
        return QStringLiteral("Insights");
    case NavItem::history:
        return QStringLiteral("History");
    case NavItem::dictionary:
        return QStringLiteral("Dictionary");
    case NavItem::snippets:
        return QStringLiteral("Snippets");
    case NavItem::settings:
        return QStringLiteral("Settings");
    }
    return {};
}

std::vector<const char*> navIconNames(NavItem item)
{
    switch (item) {
    case NavItem::home:
        return {"go-home-symbolic", "go-home"};
    case NavItem::insights:
        return {"org.gnome.Usage-symbolic",
                "utilities-system-monitor-symbolic",
                "view-statistics",
                "x-office-spreadsheet-symbolic"};
    case NavItem::history:
        return {"document-open-recent-symbolic", "document-open-recent"};
    case NavItem::dictionary:
        return {"accessories-dictionary-symbolic", "accessories-dictionary"};
    case NavItem::snippets:
        return {"insert-text-symbolic", "insert-text"};
    case NavItem::settings:
        return {"preferences-system-symbolic", "emblem-system-symbolic", "preferences-system"};
    }
    return {};
}

} // namespace quillo
