#include "platform/linux/JsonPreferences.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "platform/linux/PosixFileSystem.h"
#include "settings/Settings.h"

namespace quillo::test {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

TEST(PreferencesReadRules, EachTypedReadFollowsItsRule)
{
    struct Case
    {
        const char* name;
        std::optional<Json> stored; // unset when absent
        bool asBool;
        std::int64_t asInteger;
        std::optional<std::string> asString;
        bool isArray;
        bool isStringArray;
    };
    const std::vector<Case> cases = {
        {"unset", std::nullopt, false, 0, std::nullopt, false, false},
        {"true", true, true, 1, std::nullopt, false, false},
        {"fraction", 2.9, true, 2, std::nullopt, false, false},
        {"numeric string", "42", false, 42, "42", false, false},
        {"yes string", "YES", true, 0, "YES", false, false},
        {"string array", Json::array({"en", "de"}), false, 0, std::nullopt, true, true},
        {"mixed array", Json::array({"en", 5}), false, 0, std::nullopt, true, false},
    };
    for (const auto& c : cases) {
        FakePreferences prefs;
        if (c.stored) {
            prefs.setObject("k", *c.stored);
        }
        EXPECT_EQ(prefs.object("k").has_value(), c.stored.has_value()) << "case " << c.name;
        EXPECT_EQ(prefs.boolForKey("k"), c.asBool) << "case " << c.name;
        EXPECT_EQ(prefs.integerForKey("k"), c.asInteger) << "case " << c.name;
        EXPECT_EQ(prefs.stringForKey("k"), c.asString) << "case " << c.name;
        EXPECT_EQ(prefs.arrayForKey("k").has_value(), c.isArray) << "case " << c.name;
        EXPECT_EQ(prefs.stringArrayForKey("k").has_value(), c.isStringArray) << "case " << c.name;
    }
}

TEST(PreferencesDefaults, SettingsFallBackUntilTheUserStoresAValueAndNeverWriteTheFallback)
{
    FakePreferences prefs;
    Settings settings(prefs);
    EXPECT_TRUE(settings.get(setting::streamingEnabled)) << "a new user streams";
    prefs.setObject(setting::streamingEnabled.key, "no");
    EXPECT_FALSE(settings.get(setting::streamingEnabled)) << "a stored value of any type wins";
    prefs.removeObject(setting::streamingEnabled.key);
    EXPECT_TRUE(settings.get(setting::streamingEnabled));
    EXPECT_EQ(Json::parse(prefs.disk().file(FakePreferences::kPath)->contents), Json::object());

    // A failed save keeps the value in memory and the old file intact.
    prefs.disk().failWrites(1);
    prefs.setObject("selectedMicUID", "second");
    EXPECT_EQ(prefs.stringForKey("selectedMicUID"), "second");
    EXPECT_FALSE(prefs.log().lines().empty());
    EXPECT_EQ(Json::parse(prefs.disk().file(FakePreferences::kPath)->contents), Json::object());
}

// A real directory per test, removed afterwards.
class PreferencesOnDiskTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char templ[] = "/tmp/quillo-prefs-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        root = templ;
        path = root + "/config/quillo/preferences.json";
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    std::unique_ptr<JsonPreferences> open() { return std::make_unique<JsonPreferences>(fs, log, clock, path); }

    void writeRaw(const std::string& contents)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << contents;
    }

    std::vector<std::filesystem::path> asideFiles() const
    {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
            if (entry.path().filename().string().find("preferences.json.corrupt-") == 0) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    PosixFileSystem fs;
    RecordingLog log;
    FakeClock clock;
    std::string root;
    std::string path;
};

TEST_F(PreferencesOnDiskTest, ValuesSurviveARestartInAPrivateFileAndFoldersOpenToOthersAreRefused)
{
    {
        auto prefs = open();
        prefs->setObject("holdKeyCodes", Json::array({61, 58}));
        prefs->setObject("cleanupInstructions", "Écris en français \xF0\x9F\x98\x80");
    }
    auto reopened = open();
    EXPECT_EQ(reopened->arrayForKey("holdKeyCodes"), (std::vector<Json>{61, 58}));
    EXPECT_EQ(reopened->stringForKey("cleanupInstructions"), "Écris en français \xF0\x9F\x98\x80");

    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(path).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(std::filesystem::path(path).parent_path()).permissions(), perms::owner_all);
    EXPECT_TRUE(asideFiles().empty());

    // Folders open to others, or links that may point anywhere, are refused.
    const std::string open = root + "/open";
    std::filesystem::create_directory(open);
    std::filesystem::permissions(open, std::filesystem::perms::all);
    EXPECT_FALSE(fs.createPrivateDirectory(open));
    EXPECT_EQ(std::filesystem::status(open).permissions(), std::filesystem::perms::all) << "left as it was";

    const std::string link = root + "/link";
    std::filesystem::create_directory_symlink(root, link);
    EXPECT_FALSE(fs.createPrivateDirectory(link)) << "a link may point anywhere";
}

TEST_F(PreferencesOnDiskTest, BrokenFilesAreSetAsideNeverOverwritten)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"truncated", "{\"enabledLanguages\": [\"de\""},
        {"an array", "[\"de\"]"},
        {"nested 100,000 deep", "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}"},
    };
    for (const auto& [name, contents] : cases) {
        std::filesystem::remove_all(root + "/config");
        writeRaw(contents);
        clock.advance(std::chrono::seconds(1));
        {
            auto prefs = open();
            EXPECT_FALSE(prefs->object("enabledLanguages")) << "case " << name;
            prefs->setObject("enabledLanguages", Json::array({"fr"}));
        }
        const auto aside = asideFiles();
        ASSERT_EQ(aside.size(), 1u) << "case " << name;
        std::ifstream in(aside[0]);
        const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(kept, contents) << "case " << name << ": the user's file must be kept byte for byte";
        EXPECT_EQ(open()->stringArrayForKey("enabledLanguages"), std::vector<std::string>{"fr"}) << "case " << name;
    }

    // A second broken file within the same second gets a name of its own.
    writeRaw("garbage");
    open();
    EXPECT_EQ(asideFiles().size(), 2u);

    // A byte-order mark is no reason to lose the settings.
    std::filesystem::remove_all(root + "/config");
    writeRaw("\xEF\xBB\xBF{\"enabledLanguages\": [\"de\"]}");
    EXPECT_EQ(open()->stringArrayForKey("enabledLanguages"), std::vector<std::string>{"de"});
    EXPECT_TRUE(asideFiles().empty());
}

TEST_F(PreferencesOnDiskTest, OnlyTemporariesOfInterruptedSavesAreRemovedAtStart)
{
    open()->setObject("a", 1);
    // Left by an interrupted save; maybe a save in progress elsewhere; not a name of ours; the user's set-aside file.
    const std::pair<const char*, bool> files[] = {{".tmp-OLD123", false},
                                                  {".tmp-NEW123", true},
                                                  {".tmp-OLD1234", true},
                                                  {".corrupt-OLD123", true}};
    for (const auto& [suffix, kept] : files) {
        std::ofstream(path + suffix) << "{}";
        if (std::string(suffix).find("OLD") != std::string::npos) {
            std::filesystem::last_write_time(path + suffix, std::filesystem::file_time_type::clock::now() - 1h);
        }
    }
    open();
    for (const auto& [suffix, kept] : files) {
        EXPECT_EQ(std::filesystem::exists(path + suffix), kept) << "case " << suffix;
    }
}

} // namespace
} // namespace quillo::test
