#include "hotkeys/HotkeyStore.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

using ::testing::ElementsAre;
using Json = Preferences::Value;

struct ReadCase
{
    const char* name;
    std::vector<std::pair<std::string, Json>> stored;
    std::vector<int> hold;
    std::vector<int> toggle;
    std::vector<int> pasteLast;
};

TEST(HotkeyStoreTest, ReadsListsThenOlderSingleKeysThenDefaults)
{
    const std::vector<ReadCase> cases = {
        {"fresh install", {}, {61}, {62}, {96}},
        {"lists as stored, in the user's order",
         {{"holdKeyCodes", Json{97, 58}}, {"toggleKeyCodes", Json{54}}, {"pasteLastKeyCodes", Json{111, 96}}},
         {97, 58},
         {54},
         {111, 96}},
        {"older single keys when no list", {{"hotkeyCode", 58}, {"pasteLastHotkeyCode", 101}}, {58}, {62}, {101}},
        {"a list wins over an older key", {{"holdKeyCodes", Json{60}}, {"hotkeyCode", 58}}, {60}, {62}, {96}},
        {"an empty list counts as missing", {{"holdKeyCodes", Json::array()}}, {61}, {62}, {96}},
        {"an empty list falls back to the older key",
         {{"toggleKeyCodes", Json::array()}, {"toggleHotkeyCode", 59}},
         {61},
         {59},
         {96}},
        {"one text element spoils the whole list",
         {{"toggleKeyCodes", Json{62, "F5"}}, {"toggleHotkeyCode", 59}},
         {61},
         {59},
         {96}},
        {"a spoilt list without older key gives the default",
         {{"toggleKeyCodes", Json{59, nullptr}}},
         {61},
         {62},
         {96}},
        {"booleans and fractions are not key codes",
         {{"holdKeyCodes", Json{true}}, {"pasteLastKeyCodes", Json{96.5}}},
         {61},
         {62},
         {96}},
        {"whole numbers written as decimals are key codes", {{"holdKeyCodes", Json{58.0, 61}}}, {58, 61}, {62}, {96}},
        {"a list that is not an array counts as missing", {{"holdKeyCodes", 58}}, {61}, {62}, {96}},
        {"an older 0 counts as missing", {{"hotkeyCode", 0}}, {61}, {62}, {96}},
        {"an older key stored as decimal text still reads", {{"hotkeyCode", "55"}}, {55}, {62}, {96}},
        {"key code 0 in a list is kept", {{"holdKeyCodes", Json{0}}}, {0}, {62}, {96}},
    };
    for (const auto& c : cases) {
        FakePreferences preferences;
        for (const auto& [key, value] : c.stored) {
            preferences.setObject(key, value);
        }
        const HotkeyStore store(preferences);
        EXPECT_EQ(store.holdCodes(), c.hold) << "case: " << c.name;
        EXPECT_EQ(store.toggleCodes(), c.toggle) << "case: " << c.name;
        EXPECT_EQ(store.pasteLastCodes(), c.pasteLast) << "case: " << c.name;
        EXPECT_EQ(store.bindings(), HotkeyBindings(c.hold, c.toggle, c.pasteLast)) << "case: " << c.name;
    }
}

TEST(HotkeyStoreTest, OlderKeyIsOnlyEverRead)
{
    FakePreferences preferences;
    preferences.setObject("hotkeyCode", 58);
    HotkeyStore store(preferences);
    EXPECT_THAT(store.holdCodes(), ElementsAre(58));
    EXPECT_FALSE(preferences.object("holdKeyCodes")) << "reading must not migrate the older key";

    store.save({54}, HotkeyStore::holdKey);
    EXPECT_THAT(store.holdCodes(), ElementsAre(54));
    EXPECT_EQ(preferences.object("hotkeyCode"), Json(58)) << "saving must leave the older key alone";
}

TEST(HotkeyStoreTest, SavedListsPersistAsIntegerArrays)
{
    FakePreferences preferences;
    HotkeyStore(preferences).save({96, 111}, HotkeyStore::pasteLastKey);
    const auto file = preferences.disk().file(FakePreferences::kPath);
    ASSERT_TRUE(file);
    EXPECT_EQ(Json::parse(file->contents).at("pasteLastKeyCodes"), Json({96, 111}));
}

TEST(HotkeyStoreTest, KeyNames)
{
    const std::vector<std::pair<int, std::string>> names = {
        {63, "Fn"},
        {61, "Right Option \u2325"},
        {58, "Left Option \u2325"},
        {62, "Right Control \u2303"},
        {59, "Left Control \u2303"},
        {54, "Right Command \u2318"},
        {55, "Left Command \u2318"},
        {60, "Right Shift \u21E7"},
        {56, "Left Shift \u21E7"},
        {96, "F5"},
        {97, "F6"},
        {98, "F7"},
        {100, "F8"},
        {101, "F9"},
        {109, "F10"},
        {103, "F11"},
        {111, "F12"},
        {57, "Key 57"},
        {42, "Key 42"},
        {99, "Key 99"},
        {0, "Key 0"},
        {-3, "Key -3"},
    };
    for (const auto& [code, name] : names) {
        EXPECT_EQ(HotkeyStore::keyName(code), name) << "code " << code;
    }
    EXPECT_EQ(HotkeyStore::keyName(61), "Right Option \xE2\x8C\xA5") << "the symbol is U+2325 in UTF-8";
}

struct EditCase
{
    const char* name;
    HotkeyBindings before;
    HotkeyAction action;
    bool add; // else remove
    int key;
    KeyEditResult::Outcome outcome;
    std::string message;
    HotkeyBindings after;
};

TEST(HotkeyStoreTest, EditRulesKeepBindingsConsistentAndSaveWhatChanged)
{
    using O = KeyEditResult::Outcome;
    using A = HotkeyAction;
    const HotkeyBindings defaults({61}, {62}, {96});
    const std::vector<EditCase> cases = {
        {"a free key is appended", defaults, A::hold, true, 58, O::added, "", HotkeyBindings({61, 58}, {62}, {96})},
        {"a key already there changes nothing", defaults, A::toggle, true, 62, O::unchanged, "", defaults},
        {"a key of paste-last is refused for hold",
         defaults,
         A::hold,
         true,
         96,
         O::conflict,
         "F5 is already used for \"Paste last\". Pick a different key.",
         defaults},
        {"a key of hold is refused for toggle",
         defaults,
         A::toggle,
         true,
         61,
         O::conflict,
         "Right Option \u2325 is already used for \"Hold to record\". Pick a different key.",
         defaults},
        {"a key of toggle is refused for paste-last",
         defaults,
         A::pasteLast,
         true,
         62,
         O::conflict,
         "Right Control \u2303 is already used for \"Hands-free toggle\". Pick a different key.",
         defaults},
        {"hold names toggle before paste-last",
         HotkeyBindings({61}, {62, 97}, {96, 97}),
         A::hold,
         true,
         97,
         O::conflict,
         "F6 is already used for \"Hands-free toggle\". Pick a different key.",
         HotkeyBindings({61}, {62, 97}, {96, 97})},
        {"toggle names hold before paste-last",
         HotkeyBindings({61, 97}, {62}, {96, 97}),
         A::toggle,
         true,
         97,
         O::conflict,
         "F6 is already used for \"Hold to record\". Pick a different key.",
         HotkeyBindings({61, 97}, {62}, {96, 97})},
        {"paste-last names hold before toggle",
         HotkeyBindings({61, 97}, {62, 97}, {96}),
         A::pasteLast,
         true,
         97,
         O::conflict,
         "F6 is already used for \"Hold to record\". Pick a different key.",
         HotkeyBindings({61, 97}, {62, 97}, {96})},
        {"the last key cannot be removed", defaults, A::hold, false, 61, O::unchanged, "", defaults},
        {"a key is removed when another remains",
         HotkeyBindings({61, 58}, {62}, {96}),
         A::hold,
         false,
         61,
         O::removed,
         "",
         HotkeyBindings({58}, {62}, {96})},
        {"every copy of a key goes",
         HotkeyBindings({61}, {62, 59, 62}, {96}),
         A::toggle,
         false,
         62,
         O::removed,
         "",
         HotkeyBindings({61}, {59}, {96})},
        {"removing a key the action lacks changes nothing",
         HotkeyBindings({61, 58}, {62}, {96}),
         A::hold,
         false,
         96,
         O::unchanged,
         "",
         HotkeyBindings({61, 58}, {62}, {96})},
    };
    for (const auto& c : cases) {
        FakePreferences preferences;
        HotkeyStore store(preferences);
        HotkeyBindings bindings = c.before;
        const KeyEditResult result = c.add ? store.addKey(bindings, c.action, c.key, HotkeyStore::keyName(c.key))
                                           : store.removeKey(bindings, c.action, c.key);
        EXPECT_EQ(result.outcome, c.outcome) << "case: " << c.name;
        EXPECT_EQ(result.message, c.message) << "case: " << c.name;
        EXPECT_EQ(bindings, c.after) << "case: " << c.name;
        for (HotkeyAction action : kHotkeyActions) {
            const auto saved = preferences.object(HotkeyStore::preferenceKey(action));
            const bool shouldBeSaved = result.changed() && action == c.action;
            EXPECT_EQ(saved.has_value(), shouldBeSaved)
                << "case: " << c.name << ", list of " << displayName(action) << " saved?";
            if (saved && shouldBeSaved) {
                EXPECT_EQ(*saved, Json(c.after.codes(action))) << "case: " << c.name;
            }
        }
    }
}

} // namespace
} // namespace quillo::test
