// Audio capture figures:
//  - KeyPressToFirstFrame: from startRecording() (what a key press triggers)
//    to the first captured samples reaching the file writer, through the real
//    PulseAudio stack, with the automatic choice and with a device switch. The
//    budget is 50 ms. Needs the audio server of the test desktop:
//        scripts/test-desktop.sh ./build/bench/bench_audio
//    (without a server these cases report an error and the rest still runs).
//  - EncoderCostPerRecordedMinute: CPU time to encode one minute of 16 kHz
//    mono speech into an .m4a, fed in the 10 ms blocks the capture delivers.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "audio/AudioRecorder.h"
#include "audio/MicrophoneManager.h"
#include "base/NotificationCenter.h"
#include "fakes/FakePreferences.h"
#include "platform/linux/FfmpegAudioFileWriter.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/SystemClock.h"

namespace quillo {
namespace {

using Clock = std::chrono::steady_clock;

std::string scratchDirectory()
{
    char pattern[] = "/tmp/quillo-bench.XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return made ? made : "/tmp";
}

// Passes everything to the real writer and notes when the first samples come.
class TimingWriter final : public AudioFileWriter
{
public:
    std::unique_ptr<File> create(const std::string& path, const AudioFormat& format) override
    {
        auto inner = m_real.create(path, format);
        if (!inner) {
            return nullptr;
        }
        return std::make_unique<TimedFile>(std::move(inner), firstSamplesAt);
    }

    std::atomic<Clock::time_point> firstSamplesAt{Clock::time_point()};

private:
    class TimedFile final : public File
    {
    public:
        TimedFile(std::unique_ptr<File> inner, std::atomic<Clock::time_point>& firstAt)
            : m_inner(std::move(inner)), m_firstAt(firstAt)
        {}
        bool append(std::span<const std::int16_t> samples) override
        {
            if (!m_seen) {
                m_seen = true;
                m_firstAt.store(Clock::now());
            }
            return m_inner->append(samples);
        }
        bool finish() override { return m_inner->finish(); }

    private:
        std::unique_ptr<File> m_inner;
        std::atomic<Clock::time_point>& m_firstAt;
        bool m_seen = false;
    };

    FfmpegAudioFileWriter m_real;
};

// Arg 0: automatic choice; 1: the second loop microphone is chosen, so each
// recording also switches the default input and back.
void KeyPressToFirstFrame(benchmark::State& state)
{
    auto connection = std::make_shared<PulseConnection>();
    PulseAudioDevices devices(connection);
    PulseAudioCapture capture(connection);
    TimingWriter writer;
    PosixFileSystem disk;
    SystemClock clock;
    NotificationCenter notifications;
    test::FakePreferences preferences;
    if (state.range(0) == 1) {
        preferences.setObject("selectedMicUID", "quillo_loopmic2");
    }
    MicrophoneManager microphones(devices, preferences);
    if (microphones.devices().empty()) {
        state.SkipWithError("no audio server: run inside scripts/test-desktop.sh");
        return;
    }
    const std::string directory = scratchDirectory();
    AudioRecorder recorder({microphones, capture, writer, notifications, clock, disk, directory, {}});

    double startCallSeconds = 0;
    double slowestSeconds = 0;
    int missed = 0;
    for (auto _ : state) {
        writer.firstSamplesAt.store(Clock::time_point());
        const auto pressed = Clock::now();
        recorder.startRecording();
        const auto started = Clock::now();
        while (writer.firstSamplesAt.load() == Clock::time_point() &&
               Clock::now() - pressed < std::chrono::seconds(1)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto first = writer.firstSamplesAt.load();
        if (first == Clock::time_point()) {
            ++missed;
        }
        const double latency =
            std::chrono::duration<double>((first == Clock::time_point() ? Clock::now() : first) - pressed).count();
        state.SetIterationTime(latency);
        slowestSeconds = std::max(slowestSeconds, latency);
        startCallSeconds += std::chrono::duration<double>(started - pressed).count();
        recorder.stopRecording([](const std::optional<std::string>& path) {
            if (path) {
                std::remove(path->c_str());
            }
        });
    }
    state.counters["startRecording_call_ms"] =
        benchmark::Counter(startCallSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["slowest_ms"] = slowestSeconds * 1000;
    state.counters["no_frame_within_1s"] = missed;
    ::rmdir(directory.c_str());
}
BENCHMARK(KeyPressToFirstFrame)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

std::vector<std::int16_t> oneMinuteOfSpeech()
{
    std::ifstream raw("/usr/share/pocketsphinx/test/data/goforward.raw", std::ios::binary);
    std::vector<std::int16_t> speech;
    std::int16_t sample = 0;
    while (raw.read(reinterpret_cast<char*>(&sample), sizeof(sample))) {
        speech.push_back(sample);
    }
    if (speech.empty()) {
        // Without the recording: a voiced-sounding tone with some noise.
        for (int i = 0; i < 16000; ++i) {
            speech.push_back(static_cast<std::int16_t>(3000 * std::sin(i * 0.07) + (i * 7919 % 600) - 300));
        }
    }
    std::vector<std::int16_t> minute;
    minute.reserve(60 * 16000);
    while (minute.size() < 60 * 16000) {
        minute.push_back(speech[minute.size() % speech.size()]);
    }
    return minute;
}

void EncoderCostPerRecordedMinute(benchmark::State& state)
{
    const auto minute = oneMinuteOfSpeech();
    const std::string directory = scratchDirectory();
    const std::string path = directory + "/clip_bench.m4a";
    FfmpegAudioFileWriter writer;
    constexpr std::size_t kBlock = 160; // 10 ms, as the capture delivers
    long long bytes = 0;
    for (auto _ : state) {
        auto file = writer.create(path, AudioRecorder::kFormat);
        if (!file) {
            state.SkipWithError("cannot create the file");
            break;
        }
        for (std::size_t at = 0; at < minute.size(); at += kBlock) {
            file->append(std::span<const std::int16_t>(minute).subspan(at, std::min(kBlock, minute.size() - at)));
        }
        file->finish();
        state.PauseTiming();
        std::ifstream written(path, std::ios::binary | std::ios::ate);
        bytes += written.tellg();
        std::remove(path.c_str());
        state.ResumeTiming();
    }
    state.counters["file_KB_per_min"] =
        benchmark::Counter(static_cast<double>(bytes) / 1024, benchmark::Counter::kAvgIterations);
    ::rmdir(directory.c_str());
}
BENCHMARK(EncoderCostPerRecordedMinute)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(5);

} // namespace
} // namespace quillo

BENCHMARK_MAIN();
