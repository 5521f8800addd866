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
    // Quillo's own, so the sidebar looks the same under every icon theme.
    case NavItem::home:
        return {":/icons/quillo-home-symbolic.svg", "go-home-symbolic"};
    case NavItem::insights:
        return {":/icons/quillo-insights-symbolic.svg", "utilities-system-monitor-symbolic"};
    case NavItem::history:
        return {":/icons/quillo-history-symbolic.svg", "document-open-recent-symbolic"};
    case NavItem::dictionary:
        return {":/icons/quillo-dictionary-symbolic.svg", "accessories-dictionary-symbolic"};
    case NavItem::snippets:
        return {":/icons/quillo-snippets-symbolic.svg", "insert-text-symbolic"};
    case NavItem::settings:
        return {":/icons/quillo-settings-symbolic.svg", "preferences-system-symbolic"};
    }
    return {};
}

} // namespace quillo
