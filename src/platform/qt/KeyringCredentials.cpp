#include "platform/qt/KeyringCredentials.h"

#include <qt6keychain/keychain.h>

#include "base/AppId.h"
#include "platform/Log.h"

namespace quillo {

namespace {

using Service = ServiceKeyStore::Service;

constexpr Service kServices[] = {Service::openAI, Service::deepgram};

QString keyringService()
{
    return QString::fromLatin1(kAppId);
}

const char* variable(Service service)
{
    return service == Service::openAI ? EnvironmentCredentials::kOpenAIName : EnvironmentCredentials::kDeepgramName;
}

// The keyring's answer in a sentence; empty when it worked.
std::string problem(const QKeychain::Job& job)
{
    if (job.error() == QKeychain::NoError) {
        return {};
    }
    const std::string detail = job.errorString().toStdString();
    return detail.empty() ? std::string("the desktop's keyring did not answer") : detail;
}

} // namespace

KeyringCredentials::KeyringCredentials(EnvironmentCredentials& plain, Log& log) : m_plain(plain), m_log(log) {}

void KeyringCredentials::load()
{
    for (Service service : kServices) {
        auto* job = new QKeychain::ReadPasswordJob(keyringService());
        job->setKey(QString::fromLatin1(variable(service)));
        QObject::connect(job, &QKeychain::Job::finished, &m_context, [this, service](QKeychain::Job* done) {
            const auto* read = static_cast<QKeychain::ReadPasswordJob*>(done);
            if (read->error() == QKeychain::NoError && !read->textData().trimmed().isEmpty()) {
                setCached(service, read->textData().trimmed().toStdString());
            } else if (read->error() != QKeychain::NoError && read->error() != QKeychain::EntryNotFound) {
                // No Secret Service is normal on a bare desktop: the file serves.
                m_log.write("[Quillo] Keys not read from the desktop's keyring: " + problem(*read));
            }
            changed();
        });
        job->start();
    }
}

std::optional<std::string> KeyringCredentials::openAIKey() const
{
    return key(Service::openAI);
}

std::optional<std::string> KeyringCredentials::deepgramKey() const
{
    return key(Service::deepgram);
}

ServiceKeyStore::Source KeyringCredentials::source(Service service) const
{
    if (m_plain.fromEnvironment(variable(service))) {
        return Source::environment;
    }
    if (cached(service)) {
        return Source::keyring;
    }
    return m_plain.fromFile(variable(service)) ? Source::file : Source::none;
}

std::optional<std::string> KeyringCredentials::key(Service service) const
{
    if (auto key = m_plain.fromEnvironment(variable(service))) {
        return key;
    }
    if (auto key = cached(service)) {
        return key;
    }
    return m_plain.fromFile(variable(service));
}

std::string KeyringCredentials::environmentName(Service service) const
{
    return variable(service);
}

void KeyringCredentials::save(Service service, const std::string& key, Done done)
{
    auto* job = new QKeychain::WritePasswordJob(keyringService());
    job->setKey(QString::fromLatin1(variable(service)));
    job->setTextData(QString::fromStdString(key));
    QObject::connect(job,
                     &QKeychain::Job::finished,
                     &m_context,
                     [this, service, key, done = std::move(done)](QKeychain::Job* finished) {
                         std::string error;
                         if (finished->error() == QKeychain::NoError) {
                             setCached(service, key);
                             // One place only: an older copy in the file would come back after a Remove.
                             if (auto removed = m_plain.storeInFile(variable(service), std::nullopt); !removed) {
                                 m_log.write("[Quillo] Could not remove the old key from " + m_plain.filePath() + ": " +
                                             removed.error);
                             }
                         } else {
                             m_log.write("[Quillo] Saving the key in " + m_plain.filePath() +
                                         ", the desktop's keyring refused it: " + problem(*finished));
                             if (auto stored = m_plain.storeInFile(variable(service), key); !stored) {
                                 error = "The key was not saved: " + stored.error;
                             }
                         }
                         changed();
                         done(error);
                     });
    job->start();
}

void KeyringCredentials::remove(Service service, Done done)
{
    auto* job = new QKeychain::DeletePasswordJob(keyringService());
    job->setKey(QString::fromLatin1(variable(service)));
    QObject::connect(job,
                     &QKeychain::Job::finished,
                     &m_context,
                     [this, service, done = std::move(done)](QKeychain::Job* finished) {
                         std::string error;
                         if (finished->error() == QKeychain::NoError || finished->error() == QKeychain::EntryNotFound) {
                             setCached(service, std::nullopt);
                         } else if (cached(service)) {
                             error = "The key could not be removed from the desktop's keyring: " + problem(*finished);
                         }
                         if (auto removed = m_plain.storeInFile(variable(service), std::nullopt);
                             !removed && error.empty()) {
                             error = "The key could not be removed from " + m_plain.filePath() + ": " + removed.error;
                         }
                         changed();
                         done(error);
                     });
    job->start();
}

std::optional<std::string> KeyringCredentials::cached(Service service) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_keyring.find(service);
    return found == m_keyring.end() ? std::nullopt : std::optional<std::string>(found->second);
}

void KeyringCredentials::setCached(Service service, std::optional<std::string> key)
{
    std::lock_guard lock(m_mutex);
    if (key) {
        m_keyring[service] = std::move(*key);
    } else {
        m_keyring.erase(service);
    }
}

void KeyringCredentials::changed()
{
    if (m_changed) {
        m_changed();
    }
}

} // namespace quillo
