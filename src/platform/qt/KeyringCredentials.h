#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <QObject>

#include "platform/Credentials.h"
#include "platform/ServiceKeyStore.h"
#include "platform/linux/EnvironmentCredentials.h"

namespace quillo {

class Log;

// The service keys from, in this order: the environment variables, the
// desktop's Secret Service, the private credentials file. Keys saved from
// Settings go to the Secret Service, or to the file where none answers.
//
// The Secret Service answers asynchronously, so its keys are read once by
// load() and kept here; a key asked for before they arrive comes from the
// file. Requests on any thread read that copy under a lock.
class KeyringCredentials final : public Credentials, public ServiceKeyStore
{
public:
    KeyringCredentials(EnvironmentCredentials& plain, Log& log);

    // Reads the saved keys from the Secret Service (main thread).
    void load();

    std::optional<std::string> openAIKey() const override;
    std::optional<std::string> deepgramKey() const override;

    Source source(Service service) const override;
    std::optional<std::string> key(Service service) const override;
    std::string environmentName(Service service) const override;
    std::string filePath() const override { return m_plain.filePath(); }
    void save(Service service, const std::string& key, Done done) override;
    void remove(Service service, Done done) override;
    void setChangeCallback(std::function<void()> callback) override { m_changed = std::move(callback); }

private:
    std::optional<std::string> cached(Service service) const;
    void setCached(Service service, std::optional<std::string> key);
    void changed();

    EnvironmentCredentials& m_plain;
    Log& m_log;
    QObject m_context; // the Secret Service answers are delivered through it
    std::function<void()> m_changed;
    mutable std::mutex m_mutex;
    std::map<Service, std::string> m_keyring;
};

} // namespace quillo
