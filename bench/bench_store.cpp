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
#include <nlohmann/json.hpp>
#include <simdjson.h>

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

// The same decode with nlohmann's SAX reader, for comparison: no document
// tree, one callback per token.
class HistorySax : public nlohmann::json_sax<nlohmann::json>
{
public:
    std::vector<DictationEntry> entries;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t value) override { return number(static_cast<double>(value)); }
    bool number_unsigned(number_unsigned_t value) override { return number(static_cast<double>(value)); }
    bool number_float(number_float_t value, const string_t&) override { return number(value); }
    bool string(string_t& value) override
    {
        if (m_depth == 2) {
            if (m_key == "id") {
                m_id = std::move(value);
            } else if (m_key == "text") {
                m_text = std::move(value);
            } else if (m_key == "appBundleID") {
                m_bundle = std::move(value);
            } else if (m_key == "appName") {
                m_name = std::move(value);
            }
        }
        return true;
    }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override
    {
        if (++m_depth == 2) {
            m_bundle.reset();
            m_name.reset();
            m_duration = 0;
        }
        return true;
    }
    bool key(string_t& value) override
    {
        if (m_depth == 2) {
            m_key = std::move(value);
        }
        return true;
    }
    bool end_object() override
    {
        if (m_depth-- == 2) {
            entries.emplace_back(m_id, std::move(m_text), m_date, m_duration, std::move(m_bundle), std::move(m_name));
        }
        return true;
    }
    bool start_array(std::size_t) override
    {
        ++m_depth;
        return true;
    }
    bool end_array() override
    {
        --m_depth;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    bool number(double value)
    {
        if (m_depth == 2 && m_key == "date") {
            m_date = value;
        } else if (m_depth == 2 && m_key == "duration") {
            m_duration = value;
        }
        return true;
    }
    int m_depth = 0;
    std::string m_key, m_id, m_text;
    std::optional<std::string> m_bundle, m_name;
    double m_date = 0, m_duration = 0;
};

void BM_DecodeHistoryNlohmannSax(benchmark::State& state)
{
    const std::string json = encodeHistory(fixture().open()->history());
    for (auto _ : state) {
        HistorySax sax;
        nlohmann::json::sax_parse(json, &sax);
        benchmark::DoNotOptimize(sax.entries);
    }
}
BENCHMARK(BM_DecodeHistoryNlohmannSax)->Unit(benchmark::kMillisecond);

void BM_DecodeHistorySimdjsonDom(benchmark::State& state)
{
    const std::string json = encodeHistory(fixture().open()->history());
    for (auto _ : state) {
        simdjson::dom::parser parser;
        simdjson::dom::array array;
        if (parser.parse(json).get_array().get(array)) {
            state.SkipWithError("not an array");
            return;
        }
        std::vector<DictationEntry> entries;
        for (simdjson::dom::element element : array) {
            std::string_view id, text, bundle, name;
            double date = 0, duration = 0;
            for (auto field : element.get_object()) {
                if (field.key == "id") {
                    id = field.value.get_string().value_unsafe();
                } else if (field.key == "text") {
                    text = field.value.get_string().value_unsafe();
                } else if (field.key == "date") {
                    date = field.value.get_double().value_unsafe();
                } else if (field.key == "duration") {
                    duration = field.value.get_double().value_unsafe();
                } else if (field.key == "appBundleID") {
                    bundle = field.value.get_string().value_unsafe();
                } else if (field.key == "appName") {
                    name = field.value.get_string().value_unsafe();
                }
            }
            entries.emplace_back(std::string(id),
                                 std::string(text),
                                 date,
                                 duration,
                                 std::string(bundle),
                                 std::string(name));
        }
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_DecodeHistorySimdjsonDom)->Unit(benchmark::kMillisecond);

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
