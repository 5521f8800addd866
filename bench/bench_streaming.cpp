// The live streamer's own cost, over an in-memory connection: how long
// finish() takes when the server flushes at once, and the CPU time to chunk
// and encode one minute of captured audio.

#include <benchmark/benchmark.h>

#include "fakes/FakeAudio.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/FakeWebSocket.h"
#include "streaming/DeepgramLiveStreamer.h"

namespace {

using namespace quillo;
using namespace quillo::test;

struct Rig
{
    FakeAudioDevices devices;
    FakeAudioCapture capture{devices};
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    FakeWebSocketConnector connector;

    std::shared_ptr<DeepgramLiveStreamer> started()
    {
        connector.socket = std::make_shared<FakeWebSocket>();
        connector.socket->onText = [](FakeWebSocket& socket) {
            socket.deliverText(
                R"({"type":"Results","is_final":true,"channel":{"alternatives":[{"transcript":"Done."}]}})");
            socket.deliverText(R"({"type":"Metadata"})");
        };
        auto streamer = DeepgramLiveStreamer::create({connector, capture, credentials, endpoints});
        streamer->start();
        connector.socket->answerPing(true);
        return streamer;
    }
};

void BM_FinishWithImmediateFlush(benchmark::State& state)
{
    Rig rig;
    for (auto _ : state) {
        state.PauseTiming();
        auto streamer = rig.started();
        rig.capture.deliver(std::vector<std::int16_t>(1000, 7)); // a tail to send on finish
        state.ResumeTiming();
        benchmark::DoNotOptimize(streamer->finish());
    }
}
BENCHMARK(BM_FinishWithImmediateFlush)->Unit(benchmark::kMicrosecond);

// One minute at 16 kHz in the 10 ms blocks the capture delivers.
void BM_OneMinuteOfAudio(benchmark::State& state)
{
    Rig rig;
    const std::vector<std::int16_t> block(160, 1234);
    for (auto _ : state) {
        state.PauseTiming();
        auto streamer = rig.started();
        state.ResumeTiming();
        for (int i = 0; i < 6000; ++i) {
            rig.capture.deliver(block);
        }
        state.PauseTiming();
        streamer->cancel();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OneMinuteOfAudio)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
