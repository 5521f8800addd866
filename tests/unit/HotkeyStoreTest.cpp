#include "hotkeys/HotkeyStore.h"

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

using ::testing::ElementsAre;
using Json = Preferences::Value;

// Bindings written "hold / toggle / pasteLast", each a comma list: "61,58 / 62 / 96".
std::string describe(const HotkeyBindings& bindings)
{
    std::string text;
    for (HotkeyAction action : kHotkeyActions) {
        std::string list;
        for (int code : bindings.codes(action)) {
            list += (list.empty() ? "" : ",") + std::to_string(code);
        }
        text += (text.empty() ? "" : " / ") + list;
    }
    return text;
}

HotkeyBindings parse(const std::string& text)
{
    std::vector<std::vector<int>> lists(1);
    std::istringstream in(text);
    for (std::string token; in >> token;) {
        if (token == "/") {
            lists.emplace_back();
            continue;
        }
        std::istringstream codes(token);
        for (std::string code; std::getline(codes, code, ',');) {
            lists.back().push_back(std::stoi(code));
        }
    }
    lists.resize(3);
    return HotkeyBindings(lists[0], lists[1], lists[2]);
}

TEST(HotkeyStoreTest, ReadsListsThenOlderSingleKeysThenDefaults)
{
    struct Case
    {
        const char* name;
        const char* stored; // the preference values, as a JSON object
        const char* expected;
    };
    const Case cases[] = {
        {"fresh install", "{}", "61 / 62 / 96"},
        {"lists as stored, in the user's order",
         R"({"holdKeyCodes": [97, 58], "toggleKeyCodes": [54], "pasteLastKeyCodes": [111, 96]})",
         "97,58 / 54 / 111,96"},
        {"older single keys when no list", R"({"hotkeyCode": 58, "pasteLastHotkeyCode": 101})", "58 / 62 / 101"},
        {"a list wins over an older key", R"({"holdKeyCodes": [60], "hotkeyCode": 58})", "60 / 62 / 96"},
        {"an empty list falls back to the older key",
         R"({"toggleKeyCodes": [], "toggleHotkeyCode": 59})",
         "61 / 59 / 96"},
        {"one text element spoils the whole list",
         R"({"toggleKeyCodes": [62, "F5"], "toggleHotkeyCode": 59})",
         "61 / 59 / 96"},
        {"booleans and fractions are not key codes",
         R"({"holdKeyCodes": [true], "pasteLastKeyCodes": [96.5]})",
         "61 / 62 / 96"},
        {"an older 0 counts as missing", R"({"hotkeyCode": 0})", "61 / 62 / 96"},
        {"key code 0 in a list is kept", R"({"holdKeyCodes": [0]})", "0 / 62 / 96"},
    };
    for (const auto& c : cases) {
        FakePreferences preferences;
        const Json stored = Json::parse(c.stored);
        for (const auto& [key, value] : stored.items()) {
            preferences.setObject(key, value);
        }
        EXPECT_EQ(describe(HotkeyStore(preferences).bindings()), c.expected) << "case: " << c.name;
    }
}

TEST(HotkeyStoreTest, OlderKeyIsOnlyEverReadAndSavedListsPersist)
{
    FakePreferences preferences;
    preferences.setObject("hotkeyCode", 58);
    HotkeyStore store(preferences);
    EXPECT_THAT(store.holdCodes(), ElementsAre(58));
    EXPECT_FALSE(preferences.object("holdKeyCodes")) << "reading must not migrate the older key";

    store.save({54, 55}, HotkeyAction::hold);
    EXPECT_THAT(store.holdCodes(), ElementsAre(54, 55));
    EXPECT_EQ(preferences.object("hotkeyCode"), Json(58)) << "saving must leave the older key alone";
    const auto file = preferences.disk().file(FakePreferences::kPath);
    ASSERT_TRUE(file);
    EXPECT_EQ(Json::parse(file->contents).at("holdKeyCodes"), Json::parse("[54, 55]"));
}

TEST(HotkeyStoreTest, EditRulesKeepBindingsConsistentAndSaveWhatChanged)
{
    // An edit "<action> +key" adds, "<action> -key" removes. The result is
    // the bindings afterwards, or the message of a refused key (the bindings
    // then stay as they were).
    struct Case
    {
        const char* name;
        const char* before;
        const char* edit;
        const char* result;
    };
    const Case cases[] = {
        {"a free key is appended", "61 / 62 / 96", "hold +58", "61,58 / 62 / 96"},
        {"a key of paste-last is refused for hold",
         "61 / 62 / 96",
         "hold +96",
         "F5 is already used for \"Paste last\". Pick a different key."},
        {"hold names toggle before paste-last",
         "61 / 62,97 / 96,97",
         "hold +97",
         "F6 is already used for \"Hands-free toggle\". Pick a different key."},
        {"paste-last names hold before toggle",
         "61,97 / 62,97 / 96",
         "pasteLast +97",
         "F6 is already used for \"Hold to record\". Pick a different key."},
        {"the last key cannot be removed", "61 / 62 / 96", "hold -61", "61 / 62 / 96"},
        {"a key is removed when another remains", "61,58 / 62 / 96", "hold -61", "58 / 62 / 96"},
        {"every copy of a key goes", "61 / 62,59,62 / 96", "toggle -62", "61 / 59 / 96"},
    };
    using O = KeyEditResult::Outcome;
    for (const auto& c : cases) {
        const std::string edit = c.edit;
        const auto space = edit.find(' ');
        const HotkeyAction action = edit.starts_with("hold")     ? HotkeyAction::hold
                                    : edit.starts_with("toggle") ? HotkeyAction::toggle
                                                                 : HotkeyAction::pasteLast;
        const bool adding = edit[space + 1] == '+';
        const int key = std::stoi(edit.substr(space + 2));
        const bool refused = !std::isdigit(static_cast<unsigned char>(c.result[0]));
        const std::string after = refused ? c.before : c.result;
        const O expected = refused ? O::conflict : after == c.before ? O::unchanged : adding ? O::added : O::removed;

        FakePreferences preferences;
        HotkeyStore store(preferences);
        HotkeyBindings bindings = parse(c.before);
        const KeyEditResult result = adding ? store.addKey(bindings, action, key, HotkeyStore::keyName(key))
                                            : store.removeKey(bindings, action, key);
        EXPECT_EQ(result.outcome, expected) << "case: " << c.name;
        EXPECT_EQ(result.message, refused ? c.result : "") << "case: " << c.name;
        EXPECT_EQ(describe(bindings), after) << "case: " << c.name;
        for (HotkeyAction other : kHotkeyActions) {
            const auto saved = preferences.object(HotkeyStore::preferenceKey(other));
            const bool shouldBeSaved = result.changed() && other == action;
            EXPECT_EQ(saved, shouldBeSaved ? std::optional<Json>(bindings.codes(other)) : std::nullopt)
                << "case: " << c.name << ", saved list of " << displayName(other);
        }
    }
}

} // namespace
} // namespace quillo::test
