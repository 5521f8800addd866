#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace quillo {

// The per-user key-value store that holds every setting and the dictionary.
//
// Values are JSON values (booleans, numbers, strings, arrays, objects). The
// value a setting has while the user has set nothing is declared with the
// setting (settings/Settings.h), never stored here.
//
// Threading: every method may be called from any thread. A write is visible to
// every later read, on any thread, as soon as it returns, and is kept across
// launches. Observers run on the writing thread, after the value is stored and
// outside the store's lock, so they may read the store again.
//
// Failure: reads never fail; a stored value of an unexpected type is handled by
// the read rules below. A write that cannot be persisted is logged and still
// applies in memory for the rest of the session.
class Preferences
{
public:
    using Value = nlohmann::json;
    using Observer = std::function<void(const std::string& key)>;
    using ObserverToken = std::uint64_t;

    virtual ~Preferences() = default;

    // The stored value, else nothing.
    virtual std::optional<Value> object(const std::string& key) const = 0;

    // true/false as stored; a number is true when non-zero; the strings "true",
    // "yes" and "1" (any case) are true. Unset reads false.
    virtual bool boolForKey(const std::string& key) const = 0;

    // A number (truncated), a boolean as 0/1, or a string holding a decimal
    // integer; 0 otherwise, so a stored 0 cannot be told from an absent value.
    virtual std::int64_t integerForKey(const std::string& key) const = 0;

    // The array as stored; nothing when unset or not an array. Callers check the
    // element types themselves.
    virtual std::optional<std::vector<Value>> arrayForKey(const std::string& key) const = 0;

    // Nothing when unset, not an array, or when any element is not a string.
    virtual std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const = 0;

    // Nothing when unset or not a string.
    virtual std::optional<std::string> stringForKey(const std::string& key) const = 0;

    // Stores the value and tells the observers. A null value removes the key.
    virtual void setObject(const std::string& key, const Value& value) = 0;
    virtual void removeObject(const std::string& key) = 0;

    // Observers are told the key of every change made through this store.
    virtual ObserverToken addObserver(Observer observer) = 0;
    virtual void removeObserver(ObserverToken token) = 0;
};

} // namespace quillo
