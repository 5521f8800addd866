#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/KeyCodes.h"
#include "platform/Preferences.h"

namespace quillo {

// Every setting Quillo keeps in the preference store, declared once with its
// key, its type and the value it has while the user has set nothing.
struct BoolSetting
{
    const char* key;
    bool fallback;
};

struct TextSetting
{
    const char* key;
    const char* fallback;
};

// A list of strings; a stored value that is not a list of strings reads as the
// fallback (empty when none is given).
struct TextListSetting
{
    const char* key;
    const char* fallback; // one element, or nullptr for an empty list
};

// A list of key codes, with the older one-code key it replaced.
struct KeyCodesSetting
{
    const char* key;
    const char* legacyKey;
    int fallback;
};

// A structured value whose owner checks its shape when it reads it.
struct JsonSetting
{
    const char* key;
};

namespace setting {

inline constexpr BoolSetting streamingEnabled{"quillo.streamingEnabled", true};
inline constexpr BoolSetting launchAtLogin{"launchAtLogin", false};
inline constexpr TextSetting transcriptionEngine{"quillo.transcriptionEngine", "auto"};
inline constexpr TextSetting cleanupInstructions{"cleanupInstructions", ""};
inline constexpr TextSetting selectedMicrophone{"selectedMicUID", ""};
inline constexpr TextListSetting enabledLanguages{"enabledLanguages", "en"};
inline constexpr TextListSetting dictionaryWords{"dictionaryWords", nullptr};
inline constexpr KeyCodesSetting holdKeys{"holdKeyCodes", "hotkeyCode", keycode::rightOption};
inline constexpr KeyCodesSetting toggleKeys{"toggleKeyCodes", "toggleHotkeyCode", keycode::rightControl};
inline constexpr KeyCodesSetting pasteLastKeys{"pasteLastKeyCodes", "pasteLastHotkeyCode", keycode::f5};
inline constexpr JsonSetting pasteMethods{"quillo.pasteMethods"};
inline constexpr JsonSetting mainWindowFrame{"QuilloMainWindowFrame"};

} // namespace setting

// Typed reads of the settings above. Reads never fail: a missing value or one
// of the wrong type gives the declared fallback. Cheap to make wherever a
// Preferences is at hand.
class Settings
{
public:
    explicit Settings(const Preferences& preferences) : m_preferences(preferences) {}

    bool get(const BoolSetting& setting) const;
    std::string get(const TextSetting& setting) const;
    std::vector<std::string> get(const TextListSetting& setting) const;
    std::vector<int> get(const KeyCodesSetting& setting) const;
    std::optional<Preferences::Value> get(const JsonSetting& setting) const;

    // Whether the user has stored a value (of any type) under the key.
    bool isSet(const char* key) const;

private:
    const Preferences& m_preferences;
};

// The reads plus the typed writes; each write tells the store's observers.
class EditableSettings : public Settings
{
public:
    explicit EditableSettings(Preferences& preferences) : Settings(preferences), m_store(preferences) {}

    void set(const BoolSetting& setting, bool value);
    void set(const TextSetting& setting, const std::string& value);
    void set(const TextListSetting& setting, const std::vector<std::string>& value);
    void set(const KeyCodesSetting& setting, const std::vector<int>& value);
    void set(const JsonSetting& setting, const Preferences::Value& value);

private:
    Preferences& m_store;
};

} // namespace quillo
