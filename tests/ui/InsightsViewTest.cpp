#include "ui/main/InsightsView.h"

#include <algorithm>
#include <cmath>
#include <tuple>

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

TEST(InsightsViewTest, CardsAndStreaksFollowTheStoreAndTheDay)
{
    const test::ScopedTimeZone zone{"America/New_York"};
    test::UiStore data;
    data.clock.setNow(localTime(2026, 3, 3, 10, 0)); // a Tuesday
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
    data.store.addEntry("one two three four five six seven", 4.8, std::nullopt, std::nullopt);
    data.clock.setNow(localTime(2026, 3, 4, 15, 0));
    test::UiStore::settle();
    EXPECT_EQ(view.card(2)->value(), QStringLiteral("88"));
    EXPECT_EQ(view.card(2)->label(), QStringLiteral("Avg WPM"));
    EXPECT_EQ(view.activity()->currentStreakText(), QStringLiteral("1 day streak"));
    EXPECT_EQ(view.activity()->longestStreakText(), QStringLiteral("LONGEST STREAK | 1 DAY"));

    // Two days on with nothing added, the streak has lapsed without a store change.
    data.clock.setNow(localTime(2026, 3, 6, 0, 1));
    view.checkDay();
    EXPECT_EQ(view.activity()->currentStreakText(), QStringLiteral("0 days streak"));
}

// `front` drawn over the opaque `back`.
QColor over(const QColor& front, const QColor& back)
{
    const auto mix = [&](double f, double b) { return f * front.alphaF() + b * (1 - front.alphaF()); };
    return QColor::fromRgbF(mix(front.redF(), back.redF()),
                            mix(front.greenF(), back.greenF()),
                            mix(front.blueF(), back.blueF()));
}

// WCAG contrast of `front` drawn over the opaque `back`.
double contrast(const QColor& front, const QColor& back)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double a = luminance(over(front, back));
    const double b = luminance(back);
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
    const std::tuple<const char*, QPalette, double> cases[] = {{"light", light, 1.1}, {"dark", dark, 1.3}};
    for (const auto& [name, palette, levelsApart] : cases) {
        const QColor card = theme::cardBg(palette);
        EXPECT_GE(contrast(theme::accentText(palette), card), 4.5) << "case " << name;
        EXPECT_GE(contrast(theme::dangerText(palette), card), 4.5) << "case " << name;
        const QColor empty = over(HeatmapView::levelColour(0, palette), card);
        EXPECT_GE(contrast(HeatmapView::levelColour(1, palette), empty), levelsApart) << "case " << name;
    }
}

} // namespace
} // namespace quillo
