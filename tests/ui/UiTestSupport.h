#pragma once

// A real DataStore over the in-memory fakes and the rest of what the main
// window's screens use.

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

    MainWindowView::Dependencies windowDependencies(AppNavState& nav)
    {
        return {store, nav, clock, preferences, microphones, loginItem, credentials, "Test Model", {}};
    }

    // Lets the screens see the store's queued change notices, and deletes what they closed.
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
