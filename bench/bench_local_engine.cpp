// Offline engine figures, on Debian's recordings (package pocketsphinx-testdata):
//  - ModelLoad: time to load the US English model and the resident memory it
//    adds to a fresh process (counters load_s, model_MB, process_MB). Runs
//    once: later loads reuse memory the first one freed, and would under-report.
//  - ReleaseToText/<dictation>/<model>: the recording is heard as a dictation
//    hears it, in 20 ms blocks at the pace of speech; the time is from the key
//    release (the recording ends) to the words. "warm": the model is loaded
//    when the key goes down; "cold": it was given back and loads while the key
//    is held. Counters: median_ms, p90_ms, max_ms; same_words is 1 when every
//    run heard the words decoding the same speech from a file gives, and
//    same_as_m4a when they are also those of the recorder's lossy .m4a file.
//  - FileDecode/<dictation>: the same recording decoded from its .m4a after
//    the release, as a retry or `quillo transcribe` does; rtf is processing
//    time over audio time.
//  - DictionaryWords/<words>: word error rate over Debian's transcribed
//    recordings (11) with no dictionary, with the rarer words the recordings
//    say, and with twelve words they never say; counter wer_percent.

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "base/SampleListener.h"
#include "platform/Log.h"
#include "platform/linux/FfmpegAudioDecoder.h"
#include "platform/linux/FfmpegAudioFileWriter.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "transcription/LocalSpeechEngine.h"

namespace quillo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kData = "/usr/share/pocketsphinx/test/data/";
constexpr std::size_t kBlock = 320; // 20 ms, a typical capture block

class CountingLog final : public Log
{
public:
    void write(const std::string& line) override
    {
        if (line.find(" unloaded ") != std::string::npos) {
            ++unloads;
        }
    }
    std::atomic<int> unloads{0};
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double residentMB()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) / (1024.0 * 1024.0);
}

// One dictation: Debian's recordings one after the other, as PCM and as the
// recorder's .m4a file.
struct Dictation
{
    std::vector<std::int16_t> pcm;
    std::string wav; // the PCM as it is, in a WAV file
    std::string m4a;
    double seconds() const { return static_cast<double>(pcm.size()) / 16000.0; }
};

// 16 kHz mono 16-bit little-endian PCM in a WAV container.
std::string wavFile(const std::vector<std::int16_t>& pcm)
{
    const auto le = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::string wav = "RIFF";
    le(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    le(wav, 16, 4);
    le(wav, 1, 2);     // PCM
    le(wav, 1, 2);     // mono
    le(wav, 16000, 4); // samples per second
    le(wav, 32000, 4); // bytes per second
    le(wav, 2, 2);     // bytes per frame
    le(wav, 16, 2);    // bits per sample
    wav += "data";
    le(wav, dataBytes, 4);
    wav.append(reinterpret_cast<const char*>(pcm.data()), dataBytes);
    return wav;
}

Dictation load(const std::vector<std::string>& names)
{
    FfmpegAudioDecoder decoder;
    Dictation dictation;
    for (const auto& name : names) {
        const std::string bytes = readFile(kData + name);
        if (name.ends_with(".raw")) {
            const auto* begin = reinterpret_cast<const std::int16_t*>(bytes.data());
            dictation.pcm.insert(dictation.pcm.end(), begin, begin + bytes.size() / 2);
        } else {
            const auto samples = decoder.decodeMono(bytes, 16000);
            dictation.pcm.insert(dictation.pcm.end(), samples.begin(), samples.end());
        }
    }
    dictation.wav = wavFile(dictation.pcm);
    const std::string m4a = "/tmp/quillo-bench-local-" + std::to_string(::getpid()) + ".m4a";
    FfmpegAudioFileWriter writer;
    auto file = writer.create(m4a, {16000, 1});
    if (file && file->append(dictation.pcm) && file->finish()) {
        file.reset();
        dictation.m4a = readFile(m4a);
    }
    ::unlink(m4a.c_str());
    return dictation;
}

const Dictation& dictation(const std::string& name)
{
    static const Dictation threeSeconds = load({"librivox/sense_and_sensibility_01_austen_64kb-0880.wav"});
    static const Dictation fifteenSeconds = load({"librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
                                                  "librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
                                                  "librivox/sense_and_sensibility_01_austen_64kb-0880.wav"});
    return name == "3s" ? threeSeconds : fifteenSeconds;
}

struct Engine
{
    explicit Engine(std::chrono::milliseconds unloadAfter, std::vector<std::string> words = {})
        : engine({decoder, recognizer, log, unloadAfter, [words] { return words; }})
    {}
    FfmpegAudioDecoder decoder;
    PocketSphinxRecognizer recognizer;
    CountingLog log;
    LocalSpeechEngine engine;
};

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[rank];
}

void BM_ModelLoad(benchmark::State& state)
{
    double seconds = 0;
    double modelMB = 0;
    for (auto _ : state) {
        PocketSphinxRecognizer recognizer;
        const auto report = recognizer.load();
        seconds += report.seconds;
        modelMB += static_cast<double>(report.residentBytes) / (1024.0 * 1024.0);
        state.counters["process_MB"] = residentMB();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["load_s"] = seconds / n;
    state.counters["model_MB"] = modelMB / n;
}
BENCHMARK(BM_ModelLoad)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FileDecode(benchmark::State& state, const std::string& name)
{
    const Dictation& recording = dictation(name);
    static Engine warm(LocalSpeechEngine::kUnloadAfter);
    const auto file = [&] { return recording.m4a; };
    warm.engine.transcribe("file", file); // loads the model outside the timing
    std::string text;
    const auto started = Clock::now();
    for (auto _ : state) {
        text = warm.engine.transcribe("file", file).text;
    }
    const std::chrono::duration<double> elapsed = Clock::now() - started;
    state.counters["audio_s"] = recording.seconds();
    state.counters["rtf"] = elapsed.count() / static_cast<double>(state.iterations()) / recording.seconds();
    state.SetLabel(text.substr(0, 60));
}
BENCHMARK_CAPTURE(BM_FileDecode, 3s, std::string("3s"))->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileDecode, 15s, std::string("15s"))->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_ReleaseToText(benchmark::State& state, const std::string& name, bool cold)
{
    const Dictation& recording = dictation(name);
    if (recording.m4a.empty()) {
        state.SkipWithError("cannot read or encode the test recordings (package pocketsphinx-testdata)");
        return;
    }
    // Cold: the model is given back as soon as a dictation is done.
    Engine engine(cold ? 1ms : LocalSpeechEngine::kUnloadAfter);
    const auto file = [&] { return recording.m4a; };
    engine.engine.transcribe("file", file); // loads the model
    // The same speech from files, through engines that have heard what the
    // live one has: the channel estimate carries from one dictation to the next.
    Engine wavEngine(cold ? 1ms : LocalSpeechEngine::kUnloadAfter);
    Engine m4aEngine(cold ? 1ms : LocalSpeechEngine::kUnloadAfter);
    m4aEngine.engine.transcribe("file", file);
    wavEngine.engine.transcribe("file", file);

    std::vector<double> latencies;
    bool sameWords = true;
    bool sameAsM4a = true;
    std::string text;
    int run = 0;
    for (auto _ : state) {
        if (cold) {
            while (engine.log.unloads.load() < run + 1) {
                std::this_thread::sleep_for(1ms);
            }
        }
        const std::string path = "dictation-" + std::to_string(++run);
        const auto listener = engine.engine.hear(path);
        const auto keyDown = Clock::now();
        for (std::size_t at = 0; at < recording.pcm.size(); at += kBlock) {
            const std::size_t count = std::min(kBlock, recording.pcm.size() - at);
            std::this_thread::sleep_until(keyDown + std::chrono::microseconds((at + count) * 1000000 / 16000));
            listener->hear(std::span(recording.pcm).subspan(at, count));
        }
        const auto released = Clock::now();
        listener->recordingEnded(true);
        text = engine.engine.transcribe(path, file).text;
        const std::chrono::duration<double> latency = Clock::now() - released;
        state.SetIterationTime(latency.count());
        latencies.push_back(latency.count() * 1000);
        sameWords = sameWords && text == wavEngine.engine.transcribe("file", [&] { return recording.wav; }).text;
        sameAsM4a = sameAsM4a && text == m4aEngine.engine.transcribe("file", file).text;
    }
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p90_ms"] = percentile(latencies, 0.9);
    state.counters["max_ms"] = *std::max_element(latencies.begin(), latencies.end());
    state.counters["same_words"] = sameWords ? 1 : 0;
    state.counters["same_as_m4a"] = sameAsM4a ? 1 : 0;
    state.counters["audio_s"] = recording.seconds();
    state.SetLabel(text.substr(0, 60));
}
BENCHMARK_CAPTURE(BM_ReleaseToText, 3s / warm, std::string("3s"), false)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReleaseToText, 15s / warm, std::string("15s"), false)
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReleaseToText, 3s / cold, std::string("3s"), true)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReleaseToText, 15s / cold, std::string("15s"), true)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Word-level edit distance.
std::size_t wordErrors(const std::string& heard, const std::string& said)
{
    const auto split = [](const std::string& text) {
        std::vector<std::string> words;
        std::istringstream in(text);
        for (std::string word; in >> word;) {
            words.push_back(word);
        }
        return words;
    };
    const auto a = split(heard);
    const auto b = split(said);
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

void BM_DictionaryWords(benchmark::State& state, std::vector<std::string> words)
{
    const std::vector<std::pair<std::string, std::string>> recordings = {
        {"goforward.raw", "go forward ten meters"},
        {"librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
         "and mister john dashwood had then leisure to consider how much there might be prudently in his power to do "
         "for them"},
        {"librivox/sense_and_sensibility_01_austen_64kb-0880.wav", "he was not an ill disposed young man"},
        {"librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
         "unless to be rather cold hearted and rather selfish is to be ill disposed"},
        {"librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
         "had he married a more amiable woman he might have been made still more respectable than he was"},
        {"librivox/sense_and_sensibility_01_austen_64kb-0930.wav", "he might even have been made amiable himself"},
        {"cards/001.wav", "ten of clubs"},
        {"cards/002.wav", "four queen of clubs"},
        {"cards/003.wav", "seven of clubs"},
        {"cards/004.wav", "five five"},
        {"cards/005.wav", "eight of spades four of clubs seven of hearts"},
    };
    Engine engine(LocalSpeechEngine::kUnloadAfter, words);
    std::size_t errors = 0;
    std::size_t said = 0;
    for (auto _ : state) {
        errors = said = 0;
        for (const auto& [name, text] : recordings) {
            const Dictation recording = load({name});
            std::string heard = engine.engine.transcribe(name, [&] { return recording.m4a; }).text;
            // Back to bare lower-case words, as the reference is written.
            std::string bare;
            for (const char c : heard) {
                if (std::isalpha(static_cast<unsigned char>(c)) || c == ' ' || c == '\'') {
                    bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
            }
            errors += wordErrors(bare, text);
            said += wordErrors("", text);
        }
    }
    state.counters["wer_percent"] = 100.0 * static_cast<double>(errors) / static_cast<double>(said);
}
BENCHMARK_CAPTURE(BM_DictionaryWords, none, std::vector<std::string>{})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DictionaryWords,
                  said,
                  std::vector<std::string>{"Dashwood", "prudently", "amiable", "disposed", "respectable"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DictionaryWords,
                  unrelated,
                  std::vector<std::string>{"Kubernetes",
                                           "saxophone",
                                           "pelican",
                                           "lasagna",
                                           "hurricane",
                                           "quantum",
                                           "zebra",
                                           "telescope",
                                           "marathon",
                                           "violin",
                                           "Denver",
                                           "Quillo"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillo

BENCHMARK_MAIN();
