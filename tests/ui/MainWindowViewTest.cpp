#include "ui/main/MainWindowView.h"

#include <tuple>

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/AppNavState.h"
#include "ui/main/HistoryView.h"
#include "ui/main/HomeView.h"
#include "ui/main/MiniHistoryRow.h"
#include "ui/settings/SettingsView.h"

namespace quillo {
namespace {

class MainWindowViewTest : public ::testing::Test
{
protected:
    void expectSelected(const MainWindowView& view, NavItem selected)
    {
        for (NavItem item : kAllNavItems) {
            EXPECT_EQ(view.sidebarRow(item)->isSelected(), item == selected) << navTitle(item).toStdString();
        }
        EXPECT_EQ(view.currentPage(), view.page(selected));
    }

    test::UiStore data;
    AppNavState nav;
};

TEST_F(MainWindowViewTest, SidebarPagesAndOverlaysFollowTheNavigationStateClicksKeysAndTheStore)
{
    MainWindowView view(data.windowDependencies(nav));
    view.resize(1180, 860);
    view.show();
    view.activateWindow();
    nav.setSelection(NavItem::history);
    expectSelected(view, NavItem::history);

    // Clicks in the empty right part of a row count too.
    SidebarRow* row = view.sidebarRow(NavItem::settings);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 5, row->height() / 2));
    EXPECT_EQ(nav.selection(), NavItem::settings);
    expectSelected(view, NavItem::settings);

    // The arrows walk the rows round, moving the focus along.
    const std::tuple<NavItem, Qt::Key, NavItem> steps[] = {{NavItem::home, Qt::Key_Down, NavItem::insights},
                                                           {NavItem::home, Qt::Key_Up, NavItem::settings},
                                                           {NavItem::settings, Qt::Key_Down, NavItem::home}};
    for (const auto& [from, key, to] : steps) {
        nav.setSelection(NavItem::dictionary);
        view.sidebarRow(from)->setFocus();
        QTest::keyClick(view.sidebarRow(from), key);
        expectSelected(view, to);
        EXPECT_EQ(view.focusWidget(), view.sidebarRow(to)) << "case " << navTitle(to).toStdString();
    }

    // Pages not shown catch up with the store when shown.
    nav.setSelection(NavItem::home);
    auto* history = qobject_cast<HistoryView*>(view.page(NavItem::history));
    auto* home = qobject_cast<HomeView*>(view.page(NavItem::home));
    data.store.addEntry("while on home", 2, std::nullopt, std::nullopt);
    test::UiStore::settle();
    ASSERT_EQ(home->recentRows().size(), 1);

    nav.setSelection(NavItem::history);
    test::UiStore::settle();
    EXPECT_EQ(history->subtitle(), QStringLiteral("1 dictations \u00B7 3 words"));
    data.store.addEntry("on history", 2, std::nullopt, std::nullopt);

    nav.setSelection(NavItem::home);
    test::UiStore::settle();
    ASSERT_EQ(home->recentRows().size(), 2);
    EXPECT_EQ(home->recentRows().front()->entry().text(), "on history");

    // The settings page's overlays cover the sidebar too.
    nav.setSelection(NavItem::settings);
    auto* settings = qobject_cast<SettingsView*>(view.page(NavItem::settings));
    settings->changeLanguagesButton()->click();
    settings->addShortcutButton(HotkeyAction::hold)->click();
    const QPoint sidebar = view.sidebarRow(NavItem::home)->mapTo(&view, QPoint(10, 10));
    // The key capture opened last is on top; once it goes, the language picker is.
    for (QWidget* overlay : {settings->captureOverlay(), settings->languagePicker()}) {
        ASSERT_NE(overlay, nullptr);
        QWidget* hit = view.childAt(sidebar);
        EXPECT_TRUE(hit == overlay || overlay->isAncestorOf(hit)) << "case " << overlay->metaObject()->className();
        delete overlay;
    }
}

} // namespace
} // namespace quillo
