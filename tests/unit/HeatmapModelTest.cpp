#include "store/HeatmapModel.h"

#include <gtest/gtest.h>

#include "StoreTestSupport.h"

namespace quillo {
namespace {

using namespace std::chrono;
using test::entryAt;
using test::localTime;
using test::words;

class HeatmapModelTest : public ::testing::Test
{
protected:
    test::ScopedTimeZone zone{"UTC0"};
    // Wednesday 4 March 2026, in the afternoon.
    const system_clock::time_point wednesday = localTime(2026, 3, 4, 15);
};

TEST_F(HeatmapModelTest, LevelsStepAtFiftyOneHundredFiftyAndFourHundredWords)
{
    const std::pair<std::size_t, int> cases[] = {{0, 0}, {49, 1}, {50, 2}, {150, 3}, {399, 3}, {400, 4}};
    for (const auto& [count, level] : cases) {
        EXPECT_EQ(heatmap::level(count), level) << "case " << count << " words";
    }

    // A day's words are summed over its entries before the level is chosen.
    std::vector<DictationEntry> history{entryAt(localTime(2026, 3, 2, 9), words(25)),
                                        entryAt(localTime(2026, 3, 2, 20), words(24))};
    const auto cellOfMonday = [&] { return heatmap::build(history, wednesday, 0).weeks.back()[1]; };
    EXPECT_EQ(cellOfMonday().words, 49u);
    EXPECT_EQ(cellOfMonday().level, 1);
    history.push_back(entryAt(localTime(2026, 3, 2, 23, 59), "one"));
    EXPECT_EQ(cellOfMonday().level, 2);
}

TEST_F(HeatmapModelTest, OnAWednesdayTheLastColumnEndsTodayAndTheStreakOutlineYesterday)
{
    const std::vector<DictationEntry> history{entryAt(localTime(2026, 3, 3, 22)),
                                              entryAt(localTime(2026, 3, 2, 8)),
                                              entryAt(localTime(2026, 2, 28, 8))};
    const auto model = heatmap::build(history, wednesday, 0);
    ASSERT_EQ(model.weeks.size(), 22u);
    const auto& thisWeek = model.weeks.back();
    for (int row = 0; row < 7; ++row) {
        const auto& cell = thisWeek[static_cast<std::size_t>(row)];
        if (row <= 3) {
            EXPECT_EQ(cell.day, local_days{2026y / March / (1 + row)}) << "case row " << row;
        } else {
            EXPECT_FALSE(cell.day) << "case row " << row << ": the future is empty";
        }
        // Today is still empty, so the streak ends yesterday.
        EXPECT_EQ(cell.inStreak, row == 1 || row == 2) << "case row " << row;
    }
    EXPECT_EQ(model.currentStreak, 2);
    EXPECT_FALSE(model.weeks[20][6].inStreak) << "Saturday 28 February: active, but before the gap";
    EXPECT_EQ(model.weeks[20][6].level, 1);
    EXPECT_EQ(model.weeks.front()[0].day, local_days{2025y / October / 5});
    EXPECT_FALSE(model.olderPagesAvailable);
    EXPECT_FALSE(model.newerPagesAvailable);

    const std::vector<HeatmapMonthLabel> labels{{0, 2025y / October},
                                                {4, 2025y / November},
                                                {9, 2025y / December},
                                                {13, 2026y / January},
                                                {17, 2026y / February},
                                                {21, 2026y / March}};
    EXPECT_EQ(model.monthLabels, labels);
}

} // namespace
} // namespace quillo
