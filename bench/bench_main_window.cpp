// The main window over a 100,000-entry history, on the offscreen platform:
// building it, opening Insights and History, one scroll step, the first
// search keystroke and a dictation arriving while a search is shown.
//
// From the action until the screen shows the result and has painted it:
// stall_ms, the longest stretch of GUI-thread CPU time without a return to
// the event loop (what a user feels, and the figure held to 100 ms); main_ms,
// all GUI-thread CPU time, stretches added up; shown_ms, the wall time, which
// includes work on other threads and any wait for a busy machine. CPU times
// rather than wall times, so that a loaded machine does not inflate them.
// Each figure is the median of five runs.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <QWheelEvent>

#include <benchmark/benchmark.h>

#include "audio/MicrophoneManager.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/RecordingLog.h"
#include "store/DataStore.h"
#include "store/RecordJson.h"
#include "store/Uuid.h"
#include "ui/main/AppNavState.h"
#include "ui/main/HistoryListModel.h"
#include "ui/main/HistoryView.h"
#include "ui/main/InsightsView.h"
#include "ui/main/MainWindowView.h"
#include "ui/widgets/StatCard.h"

namespace {

using namespace quillo;
using Clock = std::chrono::steady_clock;

constexpr int kEntries = 100000;
constexpr double kBudgetMs = 100;
const char* const kDataDirectory = "/bench/Quillo";

// About three years of a heavy user's dictations, 5 to 60 words each.
std::string historyJson(std::chrono::system_clock::time_point newest)
{
    static const char* const kWords[] = {"the",
                                         "meeting",
                                         "moved",
                                         "to",
                                         "Thursday",
                                         "please",
                                         "send",
                                         "notes",
                                         "quickly",
                                         "and",
                                         "review",
                                         "draft",
                                         "because",
                                         "Über",
                                         "budget",
                                         "seems",
                                         "fine",
                                         "tomorrow"};
    std::mt19937 random(42);
    std::vector<DictationEntry> history;
    history.reserve(kEntries);
    double date = toReferenceSeconds(newest);
    for (int i = 0; i < kEntries; ++i) {
        const int words = 5 + static_cast<int>(random() % 56);
        std::string text;
        for (int w = 0; w < words; ++w) {
            text += w == 0 ? "" : " ";
            text += kWords[random() % std::size(kWords)];
        }
        text += ".";
        history.emplace_back(uuid::makeRandom(), std::move(text), date, words * 0.4, std::nullopt, std::nullopt);
        date -= 60.0 + static_cast<double>(random() % 1800);
    }
    return encodeHistory(history);
}

// One store per benchmark run, loaded from the same file.
struct Data
{
    Data()
    {
        static const std::string json = historyJson(test::FakeClock().now());
        disk.createDirectories(kDataDirectory, 0700);
        disk.writeFileAtomically(std::string(kDataDirectory) + "/history.json", json, 0600);
        store = std::make_unique<DataStore>(disk, preferences, log, clock, kDataDirectory);
    }
    test::FakeFileSystem disk;
    test::FakePreferences preferences;
    test::RecordingLog log;
    test::FakeClock clock;
    std::unique_ptr<DataStore> store;
    test::FakeAudioDevices audioDevices;
    MicrophoneManager microphones{audioDevices, preferences};
    test::FakeLoginItem loginItem;
    test::FakeCredentials credentials;
};

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread: unlike wall time it does not grow when
// other programs share the machine.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Timing
{
    double stallMs = 0; // the longest stretch the GUI thread was busy without a break
    double mainMs = 0;  // all GUI-thread CPU time, stretches added up
    double shownMs = 0; // wall time until the result is on screen
};

// Does `action`, then handles events until `done` holds and paints the
// window once more. Between two rounds of events the GUI thread is free to
// react to the user, so the longest round is what a user can feel.
template <typename Action, typename Done> Timing measure(QWidget& window, Action action, Done done)
{
    Timing timing;
    const auto start = Clock::now();
    auto busy = [&](auto step) {
        const double cpu = threadCpuMs();
        const auto result = step();
        const double spent = threadCpuMs() - cpu;
        timing.stallMs = std::max(timing.stallMs, spent);
        timing.mainMs += spent;
        return result;
    };
    busy([&] {
        action();
        return true;
    });
    const auto deadline = start + std::chrono::seconds(30);
    while (!busy([&] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return done();
    })) {
        if (Clock::now() > deadline) {
            break;
        }
        QThread::usleep(200); // other threads at work
    }
    busy([&] {
        window.repaint();
        return true;
    });
    timing.shownMs = millisecondsSince(start);
    return timing;
}

void report(benchmark::State& state, const std::vector<Timing>& runs)
{
    auto median = [&](double Timing::*field) {
        std::vector<double> values;
        for (const Timing& t : runs) {
            values.push_back(t.*field);
        }
        std::sort(values.begin(), values.end());
        return values.empty() ? 0.0 : values[values.size() / 2];
    };
    const double stall = median(&Timing::stallMs);
    state.counters["stall_ms"] = stall;
    state.counters["main_ms"] = median(&Timing::mainMs);
    state.counters["shown_ms"] = median(&Timing::shownMs);
    state.SetLabel(stall < kBudgetMs ? "within 100 ms" : "OVER 100 ms");
}

struct Window
{
    explicit Window(Data& data)
        : view({*data.store,
                nav,
                data.clock,
                data.preferences,
                data.microphones,
                data.loginItem,
                data.credentials,
                "bench",
                {}})
    {
        view.resize(1180, 860);
    }
    AppNavState nav;
    MainWindowView view;
    HistoryView& history() const { return *qobject_cast<HistoryView*>(view.page(NavItem::history)); }
    InsightsView& insights() const { return *qobject_cast<InsightsView*>(view.page(NavItem::insights)); }

    // Lets the work under way end and its results arrive, outside any timing.
    void drain() const
    {
        for (int quiet = 0; quiet < 5;) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            QThread::msleep(10);
            quiet = history().isUpdating() || insights().isUpdating() ? 0 : quiet + 1;
        }
    }
};

void BM_BuildWindow(benchmark::State& state)
{
    Data data;
    std::vector<Timing> runs;
    for (auto _ : state) {
        std::unique_ptr<Window> window;
        QWidget unused; // the view is painted inside `done`, once it exists
        runs.push_back(measure(
            unused,
            [&] {
                window = std::make_unique<Window>(data);
                window->view.show();
            },
            [&] {
                window->view.repaint();
                return true;
            }));
        state.SetIterationTime(runs.back().stallMs / 1000);
        window->drain();
    }
    report(state, runs);
}

template <NavItem kPage> void BM_OpenPage(benchmark::State& state)
{
    Data data;
    const QString entries = QString::number(data.store->totalDictations());
    std::vector<Timing> runs;
    for (auto _ : state) {
        Window window(data);
        window.view.show();
        window.drain();
        runs.push_back(measure(
            window.view,
            [&] { window.nav.setSelection(kPage); },
            [&] {
                if constexpr (kPage == NavItem::insights) {
                    return window.insights().card(0)->value() == entries;
                } else {
                    return QString::number(window.history().model()->rowCount()) == entries;
                }
            }));
        state.SetIterationTime(runs.back().stallMs / 1000);
    }
    report(state, runs);
}

void BM_ScrollStep(benchmark::State& state)
{
    Data data;
    Window window(data);
    window.view.show();
    window.nav.setSelection(NavItem::history);
    window.drain();
    QListView* list = window.history().list();
    QWidget* viewport = list->viewport();
    std::vector<Timing> runs;
    for (auto _ : state) {
        const int before = list->verticalScrollBar()->value();
        runs.push_back(measure(
            window.view,
            [&] {
                const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
                QWheelEvent wheel(at,
                                  viewport->mapToGlobal(at),
                                  QPoint(),
                                  QPoint(0, -120),
                                  Qt::NoButton,
                                  Qt::NoModifier,
                                  Qt::NoScrollPhase,
                                  false);
                QCoreApplication::sendEvent(viewport, &wheel);
            },
            [&] { return list->verticalScrollBar()->value() != before; }));
        state.SetIterationTime(runs.back().stallMs / 1000);
    }
    report(state, runs);
}

void BM_FirstSearchKeystroke(benchmark::State& state)
{
    Data data;
    std::vector<Timing> runs;
    for (auto _ : state) {
        Window window(data);
        window.view.show();
        window.nav.setSelection(NavItem::history);
        window.drain();
        HistoryView& history = window.history();
        runs.push_back(measure(
            window.view,
            [&] { QTest::keyClick(history.searchField(), Qt::Key_U); },
            [&] { return history.model()->filter() == QStringLiteral("u"); }));
        state.SetIterationTime(runs.back().stallMs / 1000);
    }
    report(state, runs);
}

void BM_StoreChangeDuringSearch(benchmark::State& state)
{
    Data data;
    Window window(data);
    window.view.show();
    window.nav.setSelection(NavItem::history);
    HistoryView& history = window.history();
    history.searchField()->setText(QStringLiteral("über"));
    window.drain();
    std::vector<Timing> runs;
    for (auto _ : state) {
        const int before = history.model()->rowCount();
        // A dictation ends on a worker thread, as in the application.
        std::thread([&] { data.store->addEntry("Über den Wolken", 2, std::nullopt, std::nullopt); }).join();
        runs.push_back(measure(
            window.view,
            [] {},
            [&] { return history.model()->rowCount() == before + 1; }));
        state.SetIterationTime(runs.back().stallMs / 1000);
        window.drain();
    }
    report(state, runs);
}

void configure(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
}

BENCHMARK(BM_BuildWindow)->Apply(configure);
BENCHMARK(BM_OpenPage<NavItem::insights>)->Name("BM_OpenInsights")->Apply(configure);
BENCHMARK(BM_OpenPage<NavItem::history>)->Name("BM_OpenHistory")->Apply(configure);
BENCHMARK(BM_ScrollStep)->Apply(configure);
BENCHMARK(BM_FirstSearchKeystroke)->Apply(configure);
BENCHMARK(BM_StoreChangeDuringSearch)->Apply(configure);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
