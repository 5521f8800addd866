#include "ui/main/MainWindowView.h"

#include <functional>
#include <utility>

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/AppNavState.h"
#include "ui/main/HistoryView.h"
#include "ui/main/HomeView.h"
#include "ui/main/MiniHistoryRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/shell/MainWindowController.h"

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

TEST_F(MainWindowViewTest, SidebarAndPageFollowTheNavigationStateClicksAndKeys)
{
    MainWindowView view(data.windowDependencies(nav));
    view.resize(1040, 700);
    view.show();
    view.activateWindow();
    expectSelected(view, NavItem::home);
    nav.setSelection(NavItem::history);
    expectSelected(view, NavItem::history);

    // Clicks in the empty right part of a row count too.
    SidebarRow* settings = view.sidebarRow(NavItem::settings);
    QTest::mouseClick(settings, Qt::LeftButton, {}, QPoint(settings->width() - 5, settings->height() / 2));
    EXPECT_EQ(nav.selection(), NavItem::settings);
    expectSelected(view, NavItem::settings);

    // The arrows walk the rows round, moving the focus along.
    const struct
    {
        NavItem from;
        Qt::Key key;
        NavItem to;
    } steps[] = {{NavItem::home, Qt::Key_Down, NavItem::insights},
                 {NavItem::home, Qt::Key_Up, NavItem::settings},
                 {NavItem::settings, Qt::Key_Down, NavItem::home},
                 {NavItem::history, Qt::Key_Return, NavItem::history}};
    for (const auto& step : steps) {
        nav.setSelection(NavItem::dictionary);
        view.sidebarRow(step.from)->setFocus();
        QTest::keyClick(view.sidebarRow(step.from), step.key);
        expectSelected(view, step.to);
        EXPECT_EQ(view.focusWidget(), view.sidebarRow(step.to)) << "case " << navTitle(step.to).toStdString();
    }
}

TEST_F(MainWindowViewTest, PagesNotShownCatchUpWithTheStoreWhenShown)
{
    MainWindowView view(data.windowDependencies(nav));
    view.show();
    auto* history = qobject_cast<HistoryView*>(view.page(NavItem::history));
    auto* home = qobject_cast<HomeView*>(view.page(NavItem::home));
    data.store.addEntry("while on home", 2, std::nullopt, std::nullopt);
    test::UiStore::settle();
    ASSERT_EQ(home->recentRows().size(), 1);

    nav.setSelection(NavItem::history);
    test::UiStore::settle();
    EXPECT_EQ(history->subtitle(), QStringLiteral("1 dictations \u00B7 3 words"));
    data.store.addEntry("on history", 2, std::nullopt, std::nullopt);
    test::UiStore::settle();
    EXPECT_EQ(history->subtitle(), QStringLiteral("2 dictations \u00B7 5 words"));

    nav.setSelection(NavItem::home);
    test::UiStore::settle();
    ASSERT_EQ(home->recentRows().size(), 2);
    EXPECT_EQ(home->recentRows().front()->entry().text(), "on history");
}

TEST_F(MainWindowViewTest, OpeningTheWindowOnAPageMovesTheSidebarThere)
{
    MainWindowController controller(
        data.preferences,
        [this] { return new MainWindowView(data.windowDependencies(nav)); },
        [this](NavItem item) { nav.setSelection(item); });
    controller.showMainWindow(NavItem::history);
    auto* view = controller.window()->findChild<MainWindowView*>();
    ASSERT_NE(view, nullptr);
    expectSelected(*view, NavItem::history);

    // The tray's "Open Quillo" while another page is shown.
    controller.showMainWindow(NavItem::home);
    expectSelected(*view, NavItem::home);
    EXPECT_EQ(controller.window()->findChildren<MainWindowView*>().size(), 1) << "the window is made once";
}

TEST_F(MainWindowViewTest, SettingsOverlaysCoverTheSidebarToo)
{
    MainWindowView view(data.windowDependencies(nav));
    view.resize(1180, 860);
    view.show();
    nav.setSelection(NavItem::settings);
    auto* settings = qobject_cast<SettingsView*>(view.page(NavItem::settings));
    const std::pair<const char*, std::function<QWidget*()>> overlays[] = {
        {"language picker",
         [settings] {
             settings->changeLanguagesButton()->click();
             return settings->languagePicker();
         }},
        {"key capture",
         [settings] {
             settings->addShortcutButton(HotkeyAction::hold)->click();
             return settings->captureOverlay();
         }},
    };
    for (const auto& [name, open] : overlays) {
        QWidget* overlay = open();
        ASSERT_NE(overlay, nullptr) << "case " << name;
        const QPoint sidebar = view.sidebarRow(NavItem::home)->mapTo(&view, QPoint(10, 10));
        QWidget* hit = view.childAt(sidebar);
        EXPECT_TRUE(hit == overlay || overlay->isAncestorOf(hit)) << "case " << name;
        delete overlay;
    }
}

} // namespace
} // namespace quillo
