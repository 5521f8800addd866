// Offline engine figures, on Debian's recordings (package pocketsphinx-testdata)
// encoded as the recorder encodes them (AAC in .m4a):
//  - ModelLoad: time to load the US English model and the resident memory it
//    adds to a fresh process (counters load_s, model_MB, process_MB). Runs
//    once: later loads reuse memory the first one freed, and would under-report.
//  - Transcribe/<recording>: decode + recognise + format, the whole engine as
//    a dictation runs it; counter rtf is processing time over audio time
//    (below 1 is faster than speech).

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "platform/Log.h"
#include "platform/linux/FfmpegAudioDecoder.h"
#include "platform/linux/FfmpegAudioFileWriter.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "transcription/LocalSpeechEngine.h"

namespace quillo {
namespace {

constexpr const char* kData = "/usr/share/pocketsphinx/test/data/";

class NullLog final : public Log
{
public:
    void write(const std::string&) override {}
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

struct Recording
{
    std::string m4a;
    double seconds = 0;
};

// Any recording FFmpeg reads, as 16 kHz mono AAC in .m4a.
Recording encode(const std::string& path)
{
    FfmpegAudioDecoder decoder;
    std::vector<std::int16_t> samples;
    const std::string bytes = readFile(path);
    if (path.size() > 4 && path.substr(path.size() - 4) == ".raw") {
        samples.resize(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    } else {
        samples = decoder.decodeMono(bytes, 16000);
    }
    const std::string m4a = "/tmp/quillo-bench-local-" + std::to_string(::getpid()) + ".m4a";
    FfmpegAudioFileWriter writer;
    auto file = writer.create(m4a, {16000, 1});
    if (!file || !file->append(samples) || !file->finish()) {
        return {};
    }
    file.reset();
    Recording recording{readFile(m4a), static_cast<double>(samples.size()) / 16000.0};
    ::unlink(m4a.c_str());
    return recording;
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

void BM_Transcribe(benchmark::State& state, const std::string& path)
{
    const Recording recording = encode(path);
    if (recording.m4a.empty()) {
        state.SkipWithError(("cannot read or encode " + path).c_str());
        return;
    }
    static FfmpegAudioDecoder decoder;
    static PocketSphinxRecognizer recognizer;
    static NullLog log;
    static LocalSpeechEngine engine({decoder, recognizer, log});
    engine.transcribe(recording.m4a); // loads the model outside the timing

    std::string text;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        text = engine.transcribe(recording.m4a).text;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    const auto n = static_cast<double>(state.iterations());
    state.counters["audio_s"] = recording.seconds;
    state.counters["rtf"] = elapsed.count() / n / recording.seconds;
    state.counters["process_MB"] = residentMB();
    state.SetLabel(text.substr(0, 60));
}
BENCHMARK_CAPTURE(BM_Transcribe, goforward, std::string(kData) + "goforward.raw")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transcribe,
                  librivox_7s,
                  std::string(kData) + "librivox/sense_and_sensibility_01_austen_64kb-0870.wav")
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillo

BENCHMARK_MAIN();
