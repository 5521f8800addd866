#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/DictationResult.h"

namespace quillo {

// The service keys as the Settings screen edits them: where the key in force
// comes from, and saving or removing the one the user keeps.
//
// Threading: main thread only; `done` and the change callback run there too.
// Failure: save and remove report a sentence for the user through `done`
// (empty when it worked); the key itself never appears in it.
class ServiceKeyStore
{
public:
    using Service = DictationError::Service;
    using Done = std::function<void(const std::string& error)>;

    enum class Source
    {
        none,
        environment, // the environment variable, which wins over a saved key
        keyring,     // the desktop's Secret Service
        file         // the private credentials file
    };

    virtual ~ServiceKeyStore() = default;

    virtual Source source(Service service) const = 0;
    // The key in force, whatever its source.
    virtual std::optional<std::string> key(Service service) const = 0;
    // The environment variable that overrides a saved key.
    virtual std::string environmentName(Service service) const = 0;
    // Where keys are saved when no Secret Service answers.
    virtual std::string filePath() const = 0;

    // Saves in the Secret Service, or in the file when none answers.
    virtual void save(Service service, const std::string& key, Done done) = 0;
    // Removes the saved key from both places.
    virtual void remove(Service service, Done done) = 0;
    // Called after the saved keys were read or changed.
    virtual void setChangeCallback(std::function<void()> callback) = 0;
};

} // namespace quillo
