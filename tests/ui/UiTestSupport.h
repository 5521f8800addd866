#pragma once

// A real DataStore over the in-memory fakes, helpers to fill it with entries
// made at chosen times, and the rest of what the main window's screens use.

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include <QCoreApplication>

#include "audio/MicrophoneManager.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/RecordingLog.h"
#include "platform/ServiceKeyStore.h"
#include "store/DataStore.h"
#include "transcription/KeyCheck.h"
#include "ui/main/MainWindowView.h"
#include "unit/StoreTestSupport.h"

namespace quillo::test {

// Saved keys in memory, with an environment that may override them.
class MemoryServiceKeys final : public ServiceKeyStore
{
public:
    Source source(Service service) const override
    {
        if (environment.contains(service)) {
            return Source::environment;
        }
        return saved.contains(service) ? Source::keyring : Source::none;
    }
    std::optional<std::string> key(Service service) const override
    {
        for (const auto* place : {&environment, &saved}) {
            if (auto found = place->find(service); found != place->end()) {
                return found->second;
            }
        }
        return std::nullopt;
    }
    std::string environmentName(Service service) const override
    {
        return service == Service::openAI ? "OPENAI_API_KEY" : "DEEPGRAM_API_KEY";
    }
    std::string filePath() const override { return "/fake/config/quillo/credentials.json"; }
    void save(Service service, const std::string& key, Done done) override
    {
        if (refusal.empty()) {
            saved[service] = key;
        }
        done(refusal);
    }
    void remove(Service service, Done done) override
    {
        saved.erase(service);
        done({});
    }
    void setChangeCallback(std::function<void()>) override {}

    std::map<Service, std::string> environment;
    std::map<Service, std::string> saved;
    std::string refusal; // what save reports, when not empty
};

class UiStore
{
public:
    UiStore() : store(disk, preferences, log, clock, "/fake/data/Quillo") {}

    // Adds an entry dated `when`, leaving the clock at `now` afterwards.
    void addAt(std::chrono::system_clock::time_point when,
               const std::string& text,
               double duration = 0,
               std::optional<std::chrono::system_clock::time_point> now = std::nullopt)
    {
        const auto before = clock.now();
        clock.setNow(when);
        store.addEntry(text, duration, std::nullopt, std::nullopt);
        clock.setNow(now.value_or(before));
    }

    MainWindowView::Dependencies windowDependencies(AppNavState& nav)
    {
        MainWindowView::Dependencies
            dependencies{store, nav, clock, preferences, microphones, loginItem, credentials, "Test Model", {}};
        dependencies.serviceKeys = &serviceKeys;
        dependencies.checkKey = [](ServiceKeyStore::Service, const std::string& key) {
            return key == "sk-good-key-1234" ? KeyCheckResult{true, "OpenAI accepted the key."}
                                             : KeyCheckResult{false, "OpenAI refused the key (HTTP 401)."};
        };
        return dependencies;
    }

    // Lets the screens see the store's queued change notices.
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    FakeFileSystem disk;
    FakePreferences preferences;
    RecordingLog log;
    FakeClock clock;
    DataStore store;
    FakeAudioDevices audioDevices;
    MicrophoneManager microphones{audioDevices, preferences};
    FakeLoginItem loginItem;
    FakeCredentials credentials;
    MemoryServiceKeys serviceKeys;
};

} // namespace quillo::test
