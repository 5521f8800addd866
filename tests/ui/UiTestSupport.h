#pragma once

// A real DataStore over the in-memory fakes, helpers to fill it with entries
// made at chosen times, and the rest of what the main window's screens use.

#include <chrono>
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
#include "store/DataStore.h"
#include "ui/main/MainWindowView.h"
#include "unit/StoreTestSupport.h"

namespace quillo::test {

class UiStore
{
public:
    UiStore() : store(disk, preferences, log, clock, "/fake/data/Quillo") {}

    // Adds an entry dated `when`, leaving the clock where it was.
    void addAt(std::chrono::system_clock::time_point when, const std::string& text, double duration = 0)
    {
        const auto before = clock.now();
        clock.setNow(when);
        store.addEntry(text, duration, std::nullopt, std::nullopt);
        clock.setNow(before);
    }

    MainWindowView::Dependencies windowDependencies(AppNavState& nav)
    {
        return {store, nav, clock, preferences, microphones, loginItem, credentials, "Test Model", {}};
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
};

} // namespace quillo::test
