#include "ui/main/HomeView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/MiniHistoryRow.h"
#include "ui/widgets/StatCard.h"

namespace quillo {
namespace {

using test::localTime;

class HomeViewTest : public ::testing::Test
{
protected:
    test::ScopedTimeZone zone{"Europe/Berlin"};
    test::UiStore data;
};

TEST_F(HomeViewTest, GreetsByTheLocalHour)
{
    struct Case
    {
        int hour;
        int minute;
        const char* greeting;
    };
    const Case cases[] = {{0, 0, "Good morning"},
                          {11, 59, "Good morning"},
                          {12, 0, "Good afternoon"},
                          {16, 59, "Good afternoon"},
                          {17, 0, "Good evening"},
                          {23, 59, "Good evening"}};
    data.clock.setNow(localTime(2026, 3, 2, 8, 0));
    HomeView view(data.store, data.clock);
    for (const Case& c : cases) {
        data.clock.setNow(localTime(2026, 3, 2, c.hour, c.minute));
        view.refresh();
        EXPECT_EQ(view.greetingText().toStdString(), c.greeting) << "at " << c.hour << ":" << c.minute;
    }
}

TEST_F(HomeViewTest, ShowsTheFiveNewestNewestFirstAndFollowsTheStore)
{
    data.store.addSnippet("sig", "Best regards");
    data.store.addWord("Quillo");
    data.store.addWord("PulseAudio");
    HomeView view(data.store, data.clock);
    EXPECT_EQ(view.card(0)->value(), QStringLiteral("0"));
    EXPECT_EQ(view.card(2)->value(), QStringLiteral("1"));
    EXPECT_EQ(view.card(3)->value(), QStringLiteral("2"));
    EXPECT_FALSE(view.recentSectionVisible());

    for (int i = 1; i <= 7; ++i) {
        data.store.addEntry("entry " + std::to_string(i), 1, std::nullopt, std::nullopt);
    }
    test::UiStore::settle();
    EXPECT_TRUE(view.recentSectionVisible());
    EXPECT_EQ(view.card(0)->value(), QStringLiteral("7"));
    EXPECT_EQ(view.card(1)->value(), QStringLiteral("14"));
    QStringList texts;
    for (MiniHistoryRow* row : view.recentRows()) {
        texts << QString::fromStdString(row->entry().text());
    }
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("entry 7"),
                           QStringLiteral("entry 6"),
                           QStringLiteral("entry 5"),
                           QStringLiteral("entry 4"),
                           QStringLiteral("entry 3")}));

    data.store.clearHistory();
    test::UiStore::settle();
    EXPECT_FALSE(view.recentSectionVisible());
}

TEST_F(HomeViewTest, CopyPutsExactlyTheTextOnTheClipboardAndShowsTheCheckForAMoment)
{
    const std::string text = "  Line one\nline two — with ümlauts  ";
    data.addAt(data.clock.now() - std::chrono::minutes(5), text);
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    HomeView view(data.store, data.clock);
    view.resize(1000, 700);
    view.show();
    ASSERT_EQ(view.recentRows().size(), 1);
    MiniHistoryRow* row = view.recentRows().front();

    QTest::mouseClick(row->copyButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromStdString(text));
    EXPECT_TRUE(row->isCopied());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !row->isCopied(); }, MiniHistoryRow::kCopiedMilliseconds + 1000));
}

} // namespace
} // namespace quillo
