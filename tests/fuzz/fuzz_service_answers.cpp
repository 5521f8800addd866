// What a service (or anything in between) may answer: every request either
// returns text or throws one of the pipeline's own errors, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/DictationResult.h"
#include "fakes/FakeHttpClient.h"
#include "fakes/FakeServiceAccess.h"
#include "transcription/JsonError.h"
#include "transcription/RemoteSpeechServices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillo;
    if (size == 0) {
        return 0;
    }
    // The first byte picks the status, so error bodies are parsed too.
    static constexpr int kStatuses[] = {200, 200, 200, 400, 401, 413, 429, 500, 503};
    const int status = kStatuses[data[0] % std::size(kStatuses)];
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);

    test::FakeHttpClient http;
    http.fallback = {{status, body}, std::nullopt};
    test::FakeCredentials credentials;
    test::FakeEndpoints endpoints;
    RemoteSpeechServices services({http, credentials, endpoints}, [] { return std::string("BOUNDARY"); });

    const auto attempt = [](auto request) {
        try {
            request();
        } catch (const DictationError&) {
        } catch (const JsonError&) {
        }
    };
    attempt([&] { services.transcribeOpenAI("audio", {"en"}); });
    attempt([&] { services.transcribeDeepgram("audio"); });
    attempt([&] { services.requestCleanup("raw words", {"en"}, {}, ""); });
    return 0;
}
