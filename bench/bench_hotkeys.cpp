// Key event -> callback latency of the hotkey manager.
//
// BM_ManagerDispatch: the manager alone, from a key event to the paste-last
// callback through the main queue, with the bindings read from the real JSON
// preference store each time.
// BM_XTestKeyToCallback: the whole road on a real X server: a key pressed
// with XTest by a second connection, the raw event read by the X11 source on
// Qt's event loop, the manager, the Qt main queue, the callback. Needs a
// display: run inside scripts/test-desktop.sh. The budget is 5 ms.

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include "base/KeyCodes.h"
#include "fakes/FakeAlert.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeKeyEventSource.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRecorder.h"
#include "fakes/ManualMainQueue.h"
#include "fakes/RecordingLog.h"
#include "hotkeys/HotkeyManager.h"
#include "platform/linux/X11KeyEventSource.h"
#include "platform/qt/QtKeyEventPump.h"
#include "platform/qt/QtMainQueue.h"

// Last: Xlib's macros (Status, Bool, None) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace quillo::test {
namespace {

using Clock = std::chrono::steady_clock;

void BM_ManagerDispatch(benchmark::State& state)
{
    FakePreferences preferences;
    preferences.setObject("holdKeyCodes", Preferences::Value{61, 58});
    preferences.setObject("toggleKeyCodes", Preferences::Value{62});
    preferences.setObject("pasteLastKeyCodes", Preferences::Value{96});
    ManualMainQueue queue;
    RecordingLog log;
    FakePermissions permissions;
    FakeAlert alert;
    FakeKeyEventSource keys;
    std::vector<std::string> recorderEvents;
    HotkeyManager manager(
        {preferences, queue, log, permissions, alert, keys, std::make_unique<FakeRecorder>(recorderEvents), {}});
    int pastes = 0;
    HotkeyControl::Callbacks callbacks;
    callbacks.onPasteLast = [&pastes] { ++pastes; };
    manager.setCallbacks(std::move(callbacks));
    manager.start();

    for (auto _ : state) {
        keys.press(keycode::f5);
        queue.drain();
        keys.release(keycode::f5);
    }
    benchmark::DoNotOptimize(pastes);
    if (pastes != state.iterations()) {
        state.SkipWithError("a press did not paste");
    }
}
BENCHMARK(BM_ManagerDispatch);

void BM_XTestKeyToCallback(benchmark::State& state)
{
    Display* typist = XOpenDisplay(nullptr);
    if (!typist) {
        state.SkipWithError("no X display; run inside scripts/test-desktop.sh");
        return;
    }
    FakePreferences preferences;
    QtMainQueue queue;
    RecordingLog log;
    FakePermissions permissions;
    FakeAlert alert;
    X11KeyEventSource source(log);
    QtKeyEventPump pump(source);
    std::vector<std::string> recorderEvents;
    HotkeyManager manager(
        {preferences, queue, log, permissions, alert, source, std::make_unique<FakeRecorder>(recorderEvents), {}});
    Clock::time_point pastedAt;
    bool pasted = false;
    HotkeyControl::Callbacks callbacks;
    callbacks.onPasteLast = [&] {
        pastedAt = Clock::now();
        pasted = true;
    };
    manager.setCallbacks(std::move(callbacks));
    manager.start();

    constexpr unsigned kF5 = 71;
    double worst = 0;
    for (auto _ : state) {
        pasted = false;
        XTestFakeKeyEvent(typist, kF5, True, CurrentTime);
        XFlush(typist);
        const Clock::time_point pressedAt = Clock::now();
        const Clock::time_point deadline = pressedAt + std::chrono::seconds(2);
        while (!pasted && Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        if (!pasted) {
            state.SkipWithError("the key press never reached the callback");
            break;
        }
        const double seconds = std::chrono::duration<double>(pastedAt - pressedAt).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);

        // The release, untimed, read before the next press.
        XTestFakeKeyEvent(typist, kF5, False, CurrentTime);
        XSync(typist, False);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    state.counters["worst_ms"] = worst * 1000;
    manager.stop();
    XCloseDisplay(typist);
}
BENCHMARK(BM_XTestKeyToCallback)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

} // namespace
} // namespace quillo::test

int main(int argc, char** argv)
{
    // The Qt main queue and the socket watch need an event loop; no display.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
