#pragma once

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "base/ObserverList.h"
#include "platform/Preferences.h"

namespace quillo {

class Clock;
class FileSystem;
class Log;

// Preferences kept as one JSON object in a file the user can read and edit
// (normally $XDG_CONFIG_HOME/quillo/preferences.json, 0600 in a 0700
// directory). The file is loaded once; every write replaces it atomically.
//
// A file that is not a JSON object is never overwritten: it is renamed aside
// with a ".corrupt-<time>" suffix, the event is logged, and the store starts
// empty.
class JsonPreferences : public Preferences
{
public:
    JsonPreferences(FileSystem& fileSystem, Log& log, const Clock& clock, std::string path);

    std::optional<Value> object(const std::string& key) const override;
    bool boolForKey(const std::string& key) const override;
    std::int64_t integerForKey(const std::string& key) const override;
    std::optional<std::vector<Value>> arrayForKey(const std::string& key) const override;
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const override;
    std::optional<std::string> stringForKey(const std::string& key) const override;
    void setObject(const std::string& key, const Value& value) override;
    void removeObject(const std::string& key) override;
    ObserverToken addObserver(Observer observer) override;
    void removeObserver(ObserverToken token) override;

    const std::string& path() const { return m_path; }

private:
    void load();
    void moveAside(const std::string& reason);
    void persistLocked();
    void notifyObservers(const std::string& key);

    FileSystem& m_fileSystem;
    Log& m_log;
    const Clock& m_clock;
    const std::string m_path;

    mutable std::mutex m_mutex; // guards m_values and the file
    Value m_values = Value::object();

    ObserverList<std::string> m_observers;
};

} // namespace quillo
