#include "hotkeys/HotkeyStore.h"

#include <array>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

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
    // Name, the preference values as a JSON object, the bindings read.
    const std::array<const char*, 3> cases[] = {
        {"fresh install", "{}", "61 / 62 / 96"},
        {"lists as stored, in the user's order, over an older key",
         R"({"holdKeyCodes": [97, 58], "toggleKeyCodes": [54], "pasteLastKeyCodes": [111, 96], "hotkeyCode": 58})",
         "97,58 / 54 / 111,96"},
        {"older single keys when no list", R"({"hotkeyCode": 58, "pasteLastHotkeyCode": 101})", "58 / 62 / 101"},
        {"empty list: the older key", R"({"toggleKeyCodes": [], "toggleHotkeyCode": 59})", "61 / 59 / 96"},
        {"text spoils the whole list", R"({"toggleKeyCodes": [62, "F5"], "toggleHotkeyCode": 59})", "61 / 59 / 96"},
        {"no booleans or fractions", R"({"holdKeyCodes": [true], "pasteLastKeyCodes": [96.5]})", "61 / 62 / 96"},
        {"an older 0 counts as missing", R"({"hotkeyCode": 0})", "61 / 62 / 96"},
        {"key code 0 in a list is kept", R"({"holdKeyCodes": [0]})", "0 / 62 / 96"},
    };
    for (const auto& [name, stored, expected] : cases) {
        FakePreferences preferences;
        const Json values = Json::parse(stored);
        for (const auto& [key, value] : values.items()) {
            preferences.setObject(key, value);
        }
        EXPECT_EQ(describe(HotkeyStore(preferences).bindings()), expected) << "case: " << name;
    }
}

TEST(HotkeyStoreTest, EditRulesKeepBindingsConsistentAndSaveWhatChanged)
{
    // An edit "<action> +key" adds, "<action> -key" removes. The result is
    // the bindings afterwards, or "key: the action that holds it" when the key
    // is refused (the bindings then stay as they were).
    const std::array<const char*, 4> cases[] = {
        // name, before, edit, result
        {"a free key is appended", "61 / 62 / 96", "hold +58", "61,58 / 62 / 96"},
        {"hold names toggle before paste-last", "61 / 62,97 / 96,97", "hold +97", "F6: Hands-free toggle"},
        {"paste-last names hold before toggle", "61,97 / 62,97 / 96", "pasteLast +97", "F6: Hold to record"},
        {"the last key cannot be removed", "61 / 62 / 96", "hold -61", "61 / 62 / 96"},
        {"a key is removed when another remains", "61,58 / 62 / 96", "hold -61", "58 / 62 / 96"},
        {"every copy of a key goes", "61 / 62,59,62 / 96", "toggle -62", "61 / 59 / 96"},
    };
    using O = KeyEditResult::Outcome;
    for (const auto& [name, before, edit, outcome] : cases) {
        const auto space = std::string(edit).find(' ');
        const HotkeyAction action = std::string(edit).starts_with("hold")     ? HotkeyAction::hold
                                    : std::string(edit).starts_with("toggle") ? HotkeyAction::toggle
                                                                              : HotkeyAction::pasteLast;
        const bool adding = edit[space + 1] == '+';
        const int key = std::stoi(edit + space + 2);
        const bool refused = !std::isdigit(static_cast<unsigned char>(outcome[0]));
        const std::string after = refused ? before : outcome;
        const O expected = refused ? O::conflict : after == before ? O::unchanged : adding ? O::added : O::removed;

        FakePreferences preferences;
        HotkeyStore store(preferences);
        HotkeyBindings bindings = parse(before);
        const KeyEditResult result = adding ? store.addKey(bindings, action, key, HotkeyStore::keyName(key))
                                            : store.removeKey(bindings, action, key);
        EXPECT_EQ(result.outcome, expected) << "case: " << name;
        const std::string message =
            refused ? std::string(outcome).replace(2, 2, " is already used for \"") + "\". Pick a different key." : "";
        EXPECT_EQ(result.message, message) << "case: " << name;
        EXPECT_EQ(describe(bindings), after) << "case: " << name;
        for (HotkeyAction other : kHotkeyActions) {
            const auto saved = preferences.object(HotkeyStore::preferenceKey(other));
            const bool shouldBeSaved = result.changed() && other == action;
            EXPECT_EQ(saved, shouldBeSaved ? std::optional<Json>(bindings.codes(other)) : std::nullopt)
                << "case: " << name << ", saved list of " << displayName(other);
        }
    }
}

} // namespace
} // namespace quillo::test
