#include "ui/main/HomeView.h"

#include <tuple>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/MiniHistoryRow.h"
#include "ui/widgets/StatCard.h"

namespace quillo {
namespace {

using test::localTime;

TEST(HomeViewTest, GreetsByTheLocalHourAndShowsTheFiveNewestFollowingTheStore)
{
    const test::ScopedTimeZone zone{"Europe/Berlin"};
    test::UiStore data;
    data.store.addSnippet("sig", "Best regards");
    data.store.addWord("Quillo");
    data.store.addWord("PulseAudio");
    HomeView view(data.store, data.clock);
    EXPECT_EQ(view.card(2)->value(), QStringLiteral("1"));
    EXPECT_EQ(view.card(3)->value(), QStringLiteral("2"));
    EXPECT_FALSE(view.recentSectionVisible());

    const std::tuple<int, int, const char*> greetings[] = {{11, 59, "Good morning"},
                                                           {12, 0, "Good afternoon"},
                                                           {16, 59, "Good afternoon"},
                                                           {17, 0, "Good evening"}};
    for (const auto& [hour, minute, greeting] : greetings) {
        data.clock.setNow(localTime(2026, 3, 2, hour, minute));
        view.refresh();
        EXPECT_EQ(view.greetingText().toStdString(), greeting) << "at " << hour << ":" << minute;
    }

    for (int i = 1; i <= 7; ++i) {
        data.store.addEntry("entry " + std::to_string(i), 1, std::nullopt, std::nullopt);
    }
    test::UiStore::settle();
    EXPECT_TRUE(view.recentSectionVisible());
    EXPECT_EQ(view.card(1)->value(), QStringLiteral("14"));
    QStringList texts;
    for (MiniHistoryRow* row : view.recentRows()) {
        texts << QString::fromStdString(row->entry().text());
    }
    EXPECT_EQ(texts.join(u','), QStringLiteral("entry 7,entry 6,entry 5,entry 4,entry 3"));

    data.store.clearHistory();
    test::UiStore::settle();
    EXPECT_FALSE(view.recentSectionVisible());
}

} // namespace
} // namespace quillo
