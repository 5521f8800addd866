#include "ui/main/InsightsView.h"

#include <algorithm>
#include <cmath>

#include <QPalette>
#include <QScrollArea>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/HeatmapView.h"
#include "ui/main/MainWindowView.h"
#include "ui/widgets/QuilloTheme.h"
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

// WCAG contrast of `front` drawn over the opaque `back`.
double contrast(QColor front, const QColor& back)
{
    const auto over = [&](double f, double b) { return f * front.alphaF() + b * (1 - front.alphaF()); };
    const auto luminance = [](double r, double g, double b) {
        const auto linear = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
    };
    const double a = luminance(over(front.redF(), back.redF()),
                               over(front.greenF(), back.greenF()),
                               over(front.blueF(), back.blueF()));
    const double b = luminance(back.redF(), back.greenF(), back.blueF());
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

TEST(ThemeContrast, RedTextsReadOnCardsAndTheFirstHeatmapLevelStandsOut)
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x1f, 0x1f, 0x22));
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2e));
    QPalette light;
    light.setColor(QPalette::Window, QColor(0xef, 0xef, 0xef));
    light.setColor(QPalette::Base, Qt::white);
    const struct
    {
        const char* name;
        QPalette palette;
        double levelsApart;
    } cases[] = {{"light", light, 1.1}, {"dark", dark, 1.3}};
    for (const auto& c : cases) {
        const QColor card = theme::cardBg(c.palette);
        EXPECT_GE(contrast(theme::accentText(c.palette), card), 4.5) << "case " << c.name;
        EXPECT_GE(contrast(theme::dangerText(c.palette), card), 4.5) << "case " << c.name;
        QColor empty = HeatmapView::levelColour(0, c.palette);
        empty = QColor::fromRgbF(empty.redF() * empty.alphaF() + card.redF() * (1 - empty.alphaF()),
                                 empty.greenF() * empty.alphaF() + card.greenF() * (1 - empty.alphaF()),
                                 empty.blueF() * empty.alphaF() + card.blueF() * (1 - empty.alphaF()));
        EXPECT_GE(contrast(HeatmapView::levelColour(1, c.palette), empty), c.levelsApart) << "case " << c.name;
    }
}

} // namespace
} // namespace quillo
