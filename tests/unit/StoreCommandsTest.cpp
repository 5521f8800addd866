#include "app/cli/StoreCommands.h"

#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "StoreTestSupport.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePreferences.h"
#include "fakes/RecordingLog.h"
#include "store/DataStore.h"
#include "store/RecordJson.h"

namespace quillo {
namespace {

class StoreCommandsTest : public ::testing::Test
{
protected:
    struct Run
    {
        int status;
        std::string out;
        std::string err;
    };
    template <typename Command> Run run(Command command, std::vector<std::string> args)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int status = command(store, args, out, err);
        return {status, out.str(), err.str()};
    }
    void add(const std::string& text, double duration, int hour)
    {
        clock.setNow(test::localTime(2026, 3, 4, hour));
        store.addEntry(text, duration, "org.gnome.gedit", std::nullopt);
    }

    test::ScopedTimeZone zone{"UTC0"};
    test::FakeFileSystem disk;
    test::FakePreferences preferences;
    test::RecordingLog log;
    test::FakeClock clock;
    DataStore store{disk, preferences, log, clock, "/data/Quillo"};
};

TEST_F(StoreCommandsTest, StatsAsJson)
{
    auto empty = run(commands::stats, {"--json"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out,
              R"({"totalDictations":0,"totalWords":0,"avgWPM":null,"currentStreak":0,"longestStreak":0})"
              "\n");

    add("one two three", 2, 9);
    add("four five six", 2, 10);
    const auto json = run(commands::stats, {"--json"});
    EXPECT_EQ(json.out,
              R"({"totalDictations":2,"totalWords":6,"avgWPM":90.0,"currentStreak":1,"longestStreak":1})"
              "\n");
}

TEST_F(StoreCommandsTest, HistoryNewestFirstWithLimit)
{
    add("older", 1.25, 9);
    // Escape sequences are shown, never run by the terminal.
    add(std::string("newer\nline\tand \\ \x1b]0;title\x07\xc2\x9b") + "2J", 3, 10);
    const auto text = run(commands::history, {});
    EXPECT_EQ(text.out,
              "2026-03-04 10:00:00\t3.0s\torg.gnome.gedit\tnewer\\nline\\tand \\\\ \\x1B]0;title\\x07\\u009B2J\n"
              "2026-03-04 09:00:00\t1.2s\torg.gnome.gedit\tolder\n");

    const auto limited = run(commands::history, {"--limit", "1", "--json"});
    EXPECT_EQ(limited.status, 0);
    const auto decoded = decodeHistory(limited.out);
    ASSERT_TRUE(decoded.ok) << limited.out;
    ASSERT_EQ(decoded.records.size(), 1u);
    EXPECT_EQ(decoded.records[0], store.history()[0]);
    EXPECT_EQ(run(commands::history, {"--limit=0", "--json"}).out, "[]\n");
}

TEST_F(StoreCommandsTest, RejectsArgumentsItDoesNotKnow)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--limit"}, {"--limit=ten"}, {"--csv"}}) {
        const auto result = run(commands::history, args);
        EXPECT_EQ(result.status, commands::kUsageError) << "case " << args[0];
        EXPECT_TRUE(result.out.empty()) << "case " << args[0];
    }
    EXPECT_EQ(run(commands::stats, {"--limit"}).status, commands::kUsageError);
}

} // namespace
} // namespace quillo
