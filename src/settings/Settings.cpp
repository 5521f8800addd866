#include "settings/Settings.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <nlohmann/json.hpp>

namespace quillo {

namespace {

// A JSON number that is a whole number within int range (61 or 61.0); text,
// booleans and fractions are not key codes.
std::optional<int> asKeyCode(const Preferences::Value& value)
{
    if (value.is_number_integer()) {
        const auto n = value.get<std::int64_t>();
        if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max()) {
            return static_cast<int>(n);
        }
        return std::nullopt;
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::trunc(d) == d && d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()) {
            return static_cast<int>(d);
        }
    }
    return std::nullopt;
}

} // namespace

bool Settings::get(const BoolSetting& setting) const
{
    return isSet(setting.key) ? m_preferences.boolForKey(setting.key) : setting.fallback;
}

std::string Settings::get(const TextSetting& setting) const
{
    return m_preferences.stringForKey(setting.key).value_or(setting.fallback);
}

std::vector<std::string> Settings::get(const TextListSetting& setting) const
{
    if (auto stored = m_preferences.stringArrayForKey(setting.key)) {
        return *stored;
    }
    return setting.fallback ? std::vector<std::string>{setting.fallback} : std::vector<std::string>{};
}

std::vector<int> Settings::get(const KeyCodesSetting& setting) const
{
    if (const auto stored = m_preferences.arrayForKey(setting.key); stored && !stored->empty()) {
        std::vector<int> list;
        list.reserve(stored->size());
        for (const auto& element : *stored) {
            const auto code = asKeyCode(element);
            if (!code) {
                // One stray element spoils the whole list.
                list.clear();
                break;
            }
            list.push_back(*code);
        }
        if (!list.empty()) {
            return list;
        }
    }
    // A stored 0 cannot be told from nothing, so key code 0 never comes back
    // from the older format.
    const std::int64_t legacy = m_preferences.integerForKey(setting.legacyKey);
    if (legacy != 0 && legacy >= std::numeric_limits<int>::min() && legacy <= std::numeric_limits<int>::max()) {
        return {static_cast<int>(legacy)};
    }
    return {setting.fallback};
}

std::optional<Preferences::Value> Settings::get(const JsonSetting& setting) const
{
    return m_preferences.object(setting.key);
}

void EditableSettings::set(const BoolSetting& setting, bool value)
{
    m_store.setObject(setting.key, value);
}

void EditableSettings::set(const TextSetting& setting, const std::string& value)
{
    m_store.setObject(setting.key, value);
}

void EditableSettings::set(const TextListSetting& setting, const std::vector<std::string>& value)
{
    m_store.setObject(setting.key, Preferences::Value(value));
}

void EditableSettings::set(const KeyCodesSetting& setting, const std::vector<int>& value)
{
    m_store.setObject(setting.key, Preferences::Value(value));
}

void EditableSettings::set(const JsonSetting& setting, const Preferences::Value& value)
{
    m_store.setObject(setting.key, value);
}

bool Settings::isSet(const char* key) const
{
    return m_preferences.object(key).has_value();
}

} // namespace quillo
