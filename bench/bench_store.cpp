// The data store with a 100,000-entry history on the real disk: loading it,
// one addEntry with its save, and everything the Insights screen computes.
// Budgets: load <= 300 ms, addEntry <= 150 ms, statistics + heatmap <= 20 ms.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "fakes/FakeClock.h"
#include "fakes/FakePreferences.h"
#include "fakes/RecordingLog.h"
#include "platform/linux/PosixFileSystem.h"
#include "store/DataStore.h"
#include "store/RecordJson.h"
#include "store/Uuid.h"

namespace {

using namespace quillo;

constexpr int kEntries = 100000;

// A history like a heavy user's: about three years, ~90 dictations a day,
// 5 to 60 words each, in a handful of applications.
std::vector<DictationEntry> makeHistory(std::chrono::system_clock::time_point newest)
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
                                         "Quillo",
                                         "budget",
                                         "seems",
                                         "fine",
                                         "tomorrow"};
    static const char* const kApps[][2] = {{"org.mozilla.firefox", "Firefox"},
                                           {"org.gnome.Terminal", "Terminal"},
                                           {"code", "Code"},
                                           {"slack", "Slack"}};
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
        const double duration = words * 0.4 + static_cast<double>(random() % 100) / 10.0;
        std::optional<std::string> bundle;
        std::optional<std::string> name;
        if (random() % 10 != 0) {
            const auto& app = kApps[random() % std::size(kApps)];
            bundle = app[0];
            name = app[1];
        }
        history.emplace_back(uuid::makeRandom(), std::move(text), date, duration, bundle, name);
        date -= 60.0 + static_cast<double>(random() % 1800) + 0.123456;
    }
    return history;
}

// A temporary data directory holding the history file, removed at exit.
struct Fixture
{
    Fixture()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "quillo-bench-XXXXXX").string();
        directory = ::mkdtemp(templ.data());
        dataDirectory = directory + "/Quillo";
        const auto history = makeHistory(clock.now());
        fileSystem.createDirectories(dataDirectory, 0700);
        fileSystem.writeFileAtomically(dataDirectory + "/history.json", encodeHistory(history), 0600);
        fileBytes = encodeHistory(history).size();
    }
    ~Fixture() { std::filesystem::remove_all(directory); }

    std::unique_ptr<DataStore> open()
    {
        return std::make_unique<DataStore>(fileSystem, preferences, log, clock, dataDirectory);
    }

    PosixFileSystem fileSystem;
    test::FakePreferences preferences;
    test::RecordingLog log;
    test::FakeClock clock;
    std::string directory;
    std::string dataDirectory;
    std::size_t fileBytes = 0;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void BM_Load(benchmark::State& state)
{
    auto& f = fixture();
    for (auto _ : state) {
        auto store = f.open();
        benchmark::DoNotOptimize(store->totalDictations());
    }
    state.counters["file_MB"] = static_cast<double>(f.fileBytes) / 1e6;
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_AddEntry(benchmark::State& state)
{
    auto& f = fixture();
    auto store = f.open();
    for (auto _ : state) {
        store->addEntry("Please move the meeting to Thursday and send the notes.",
                        4.2,
                        "org.mozilla.firefox",
                        "Firefox");
    }
    state.counters["entries"] = static_cast<double>(store->totalDictations());
}
BENCHMARK(BM_AddEntry)->Unit(benchmark::kMillisecond);

void BM_StatisticsAndHeatmap(benchmark::State& state)
{
    auto& f = fixture();
    auto store = f.open();
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->totalDictations());
        benchmark::DoNotOptimize(store->totalWords());
        benchmark::DoNotOptimize(store->avgWPM());
        benchmark::DoNotOptimize(store->currentStreak());
        benchmark::DoNotOptimize(store->longestStreak());
        benchmark::DoNotOptimize(store->heatmap(0));
    }
}
BENCHMARK(BM_StatisticsAndHeatmap)->Unit(benchmark::kMillisecond);

// The pure CPU parts of a load and a save, without the disk.
void BM_DecodeHistory(benchmark::State& state)
{
    const std::string json = encodeHistory(fixture().open()->history());
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodeHistory(json));
    }
}
BENCHMARK(BM_DecodeHistory)->Unit(benchmark::kMillisecond);

void BM_EncodeHistory(benchmark::State& state)
{
    const auto history = fixture().open()->history();
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeHistory(history));
    }
}
BENCHMARK(BM_EncodeHistory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
