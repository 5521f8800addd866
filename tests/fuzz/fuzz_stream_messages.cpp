// What the streaming service (or anything pretending to be it) may send: each
// line of the input is one text message. Whatever arrives, finishing the
// stream gives words or nothing, and never crashes or hangs.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "fakes/FakeAudio.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/FakeWebSocket.h"
#include "streaming/DeepgramLiveStreamer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillo;
    using namespace std::chrono_literals;
    test::FakeAudioDevices devices;
    test::FakeAudioCapture capture(devices);
    test::FakeCredentials credentials;
    test::FakeEndpoints endpoints;
    test::FakeWebSocketConnector connector;
    auto streamer = DeepgramLiveStreamer::create({connector, capture, credentials, endpoints},
                                                 DeepgramLiveStreamer::Timing{1000ms, 100ms, 20ms});
    streamer->start();
    if (!connector.socket) {
        return 0;
    }
    connector.socket->answerPing(true);

    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string message(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!connector.socket->deliverText(message)) {
            break; // the stream gave up on the connection
        }
    }
    (void)streamer->finish();
    return 0;
}
