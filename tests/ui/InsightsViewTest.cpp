#include "ui/main/InsightsView.h"

#include <QScrollArea>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/MainWindowView.h"
#include "ui/widgets/StatCard.h"

namespace quillo {
namespace {

using test::localTime;

class InsightsViewTest : public ::testing::Test
{
protected:
    InsightsViewTest() { data.clock.setNow(localTime(2026, 3, 4, 15, 0)); } // a Wednesday

    test::ScopedTimeZone zone{"America/New_York"};
    test::UiStore data;
};

TEST_F(InsightsViewTest, CardsAndStreaksFollowTheStoreAndTheDay)
{
    InsightsView view(data.store);
    EXPECT_EQ(view.card(2)->value(), QStringLiteral("\u2014"));
    EXPECT_EQ(view.card(2)->label(), QStringLiteral("Avg WPM (record more to see)"));
    EXPECT_EQ(view.activity()->longestStreakText(), QStringLiteral("LONGEST STREAK | 0 DAYS"));
    // The long label wraps: three equal cards within the narrowest window.
    view.resize(MainWindowView::kMinimumWidth - MainWindowView::kSidebarWidth, 640);
    view.show();
    const auto* scroll = view.findChild<QScrollArea*>();
    EXPECT_LE(scroll->widget()->minimumSizeHint().width(), scroll->viewport()->width());
    EXPECT_EQ(view.card(2)->width(), view.card(0)->width());

    // 7 words in 4.8 seconds: 87.5 words per minute, dictated only yesterday.
    data.addAt(localTime(2026, 3, 3, 10, 0), "one two three four five six seven", 4.8);
    test::UiStore::settle();
    EXPECT_EQ(view.card(1)->value(), QStringLiteral("7"));
    EXPECT_EQ(view.card(2)->value(), QStringLiteral("88"));
    EXPECT_EQ(view.card(2)->label(), QStringLiteral("Avg WPM"));
    EXPECT_EQ(view.activity()->currentStreakText(), QStringLiteral("1 day streak"));
    EXPECT_EQ(view.activity()->longestStreakText(), QStringLiteral("LONGEST STREAK | 1 DAY"));

    data.store.addEntry("and today", 2, std::nullopt, std::nullopt);
    test::UiStore::settle();
    EXPECT_EQ(view.activity()->currentStreakText(), QStringLiteral("2 days streak"));
    EXPECT_EQ(view.card(0)->value(), QStringLiteral("2"));

    // Two days on with nothing added, the streak has lapsed without a store change.
    data.clock.setNow(localTime(2026, 3, 6, 0, 1));
    view.checkDay();
    EXPECT_EQ(view.activity()->currentStreakText(), QStringLiteral("0 days streak"));
}

} // namespace
} // namespace quillo
