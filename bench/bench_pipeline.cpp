// The transcription pipeline's own cost per dictation, with services that
// answer at once. The recording is 130 KB, about 30 s of the app's AAC.
// Budget: 20 ms per dictation beyond the services' response time.
//
//  - BM_Dictation/0: English alone, Deepgram upload, a 7-word transcript in an
//    enabled script: no clean-up.
//  - BM_Dictation/1: English and German, OpenAI multipart upload, an 80-word
//    transcript, clean-up with 20 dictionary words and instructions, the
//    refusal guard and 10 snippets.
//  - BM_DictationOverLoopback: the clean-up case again, through libcurl to a
//    loopback server that answers at once: adds two connections and the
//    transfers of the upload and the answers.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "fakes/FakeDictationParts.h"
#include "fakes/FakeLocalSpeech.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/LoopbackHttpServer.h"
#include "platform/linux/CurlHttpClient.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/SystemClock.h"
#include "store/DataStore.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/OpenAIService.h"
#include "transcription/RemoteSpeechServices.h"

namespace quillo::test {
namespace {

class NullLog final : public Log
{
public:
    void write(const std::string&) override {}
};

std::string words(std::size_t count)
{
    static const std::vector<std::string> pool = {"please",
                                                  "send",
                                                  "the",
                                                  "quarterly",
                                                  "report",
                                                  "to",
                                                  "Dana",
                                                  "before",
                                                  "Friday",
                                                  "and",
                                                  "copy",
                                                  "finance",
                                                  "um",
                                                  "so"};
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += (i ? " " : "") + pool[i % pool.size()];
    }
    return text;
}

// One body every parser accepts: each reads only its own members. Sized like
// the real answers (Deepgram's carries a timed entry per word).
std::string answerBody(const std::string& transcript)
{
    nlohmann::json wordList = nlohmann::json::array();
    double start = 0.3;
    for (std::size_t i = 0; i < 80; ++i, start += 0.37) {
        wordList.push_back({{"word", "word"},
                            {"start", start},
                            {"end", start + 0.3},
                            {"confidence", 0.98},
                            {"punctuated_word", "Word"}});
    }
    const nlohmann::json body = {
        {"text", transcript},
        {"usage", {{"type", "tokens"}, {"input_tokens", 512}, {"output_tokens", 120}, {"total_tokens", 632}}},
        {"metadata", {{"request_id", "3f6a9c2e-81d4-4b57-a0e3-7c5d2b9f1e48"}, {"duration", 30.0}, {"channels", 1}}},
        {"results",
         {{"channels",
           nlohmann::json::array(
               {{{"alternatives",
                  nlohmann::json::array(
                      {{{"transcript", transcript}, {"confidence", 0.99}, {"words", wordList}}})}}})}}},
        {"choices",
         nlohmann::json::array({{{"index", 0},
                                 {"message", {{"role", "assistant"}, {"content", "Cleaned: " + transcript + "\r"}}},
                                 {"finish_reason", "stop"}}})},
    };
    return body.dump();
}

class InstantHttpClient final : public HttpClient
{
public:
    explicit InstantHttpClient(std::string body) : m_body(std::move(body)) {}
    HttpResponse post(const HttpRequest& request) override
    {
        benchmark::DoNotOptimize(request.body.data());
        return {200, m_body};
    }

private:
    std::string m_body;
};

struct Setup
{
    explicit Setup(HttpClient& client) : http(client)
    {
        std::ofstream(audioPath, std::ios::binary) << std::string(130'000, '\x5a');
        preferences.setObject("cleanupInstructions", "Use British spelling.");
        for (int i = 0; i < 20; ++i) {
            lists.addWord("Term" + std::to_string(i));
        }
        for (int i = 0; i < 10; ++i) {
            lists.addSnippet("trigger " + std::to_string(i), "expansion $" + std::to_string(i));
        }
    }
    ~Setup()
    {
        ::unlink(audioPath.c_str());
        std::filesystem::remove_all(dataDirectory);
    }

    const std::string audioPath = "/tmp/quillo-bench-" + std::to_string(::getpid()) + ".m4a";
    const std::string dataDirectory = "/tmp/quillo-bench-data-" + std::to_string(::getpid());
    HttpClient& http;
    FakePreferences preferences;
    PosixFileSystem fileSystem;
    SystemClock clock;
    NullLog log;
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    DataStore lists{fileSystem, preferences, log, clock, dataDirectory};
    RemoteSpeechServices services{{http, credentials, endpoints}};
    FakeAudioDecoder decoder;
    FakeSpeechRecognizer recognizer;
    LocalSpeechEngine localSpeech{{decoder, recognizer, log}};
    OpenAIService pipeline{{preferences, fileSystem, clock, log, services, lists, credentials, localSpeech}};
};

void BM_Dictation(benchmark::State& state)
{
    const bool cleanup = state.range(0) == 1;
    InstantHttpClient http(answerBody(cleanup ? words(80) : words(7)));
    Setup setup(http);
    if (!cleanup) {
        setup.preferences.removeObject("cleanupInstructions");
    }
    const LanguageSet languages = cleanup ? LanguageSet{"en", "de"} : LanguageSet{"en"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(setup.pipeline.transcribeAndClean(setup.audioPath, languages, std::nullopt));
    }
    state.SetLabel(cleanup ? "openai + clean-up" : "deepgram, no clean-up");
}
BENCHMARK(BM_Dictation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DictationOverLoopback(benchmark::State& state)
{
    LoopbackHttpServer server(
        LoopbackHttpServer::Reply{LoopbackHttpServer::Behaviour::answer, 200, answerBody(words(80))});
    CurlHttpClient http;
    Setup setup(http);
    setup.endpoints.openAI = setup.endpoints.deepgram = server.baseURL() + "/v1";
    for (auto _ : state) {
        benchmark::DoNotOptimize(setup.pipeline.transcribeAndClean(setup.audioPath, {"en", "de"}, std::nullopt));
    }
}
BENCHMARK(BM_DictationOverLoopback)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillo::test

BENCHMARK_MAIN();
