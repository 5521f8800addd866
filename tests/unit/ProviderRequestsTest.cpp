#include "transcription/RemoteSpeechServices.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <tuple>

#include "base/DictationResult.h"
#include "fakes/FakeHttpClient.h"
#include "fakes/FakeServiceAccess.h"
#include "transcription/CleanupPrompt.h"
#include "transcription/JsonError.h"
#include "transcription/ProviderHttp.h"

namespace quillo::test {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;
using Kind = TransportError::Kind;

constexpr const char* kUUID = "0F5A3C2E-9B1D-4E7F-8A6B-2C4D6E8F0A1B";
// Audio that looks like multipart syntax must still travel untouched.
const std::string kAudio = std::string("\0\x01m4a\r\n--Boundary-x\r\n\xff", 22);

class ProviderRequestsTest : public ::testing::Test
{
protected:
    // Calls one of the three requests by name.
    std::string call(const std::string& which)
    {
        if (which == "openai") {
            return services.transcribeOpenAI(kAudio, {"en"});
        }
        if (which == "deepgram") {
            return services.transcribeDeepgram(kAudio);
        }
        return services.requestCleanup("raw words", {"en"}, {}, "").content;
    }

    FakeHttpClient http;
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    RemoteSpeechServices services{{http, credentials, endpoints}, [] { return std::string(kUUID); }};
};

std::string deepgramAnswer(const std::string& transcript)
{
    return R"({"results":{"channels":[{"alternatives":[{"transcript":")" + transcript + R"("}]}]}})";
}

std::string field(const std::string& name, const std::string& value)
{
    return std::string("--Boundary-") + kUUID + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
}

TEST_F(ProviderRequestsTest, OpenAIUploadIsAByteExactMultipartForm)
{
    const std::string filePart = std::string("--Boundary-") + kUUID +
                                 "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.m4a\"\r\n"
                                 "Content-Type: audio/mp4\r\n\r\n" +
                                 kAudio + "\r\n--Boundary-" + kUUID + "--\r\n";
    const std::string model = field("model", "gpt-4o-mini-transcribe");
    const std::vector<std::pair<LanguageSet, std::string>> cases = {
        {{"de"}, model + field("language", "de") + filePart},
        {{"de", "en"}, model + filePart}, // detection is left to the service
    };
    for (const auto& [languages, expectedBody] : cases) {
        http.willAnswer(200, R"({"text":"hello"})");
        EXPECT_EQ(services.transcribeOpenAI(kAudio, languages), "hello");
        const HttpRequest sent = http.requests().back();
        EXPECT_EQ(sent.body, expectedBody) << languages.size() << " language(s)";
        EXPECT_EQ(sent.headers,
                  (Headers{{"Authorization", "Bearer sk-test-openai"},
                           {"Content-Type", std::string("multipart/form-data; boundary=Boundary-") + kUUID}}));
    }
}

TEST_F(ProviderRequestsTest, CleanupSendsACompactChatCompletionWithRoomForEveryWord)
{
    http.willAnswer(200, R"({"choices":[{"message":{"content":"Tidy.\r"},"finish_reason":"length"}]})");
    EXPECT_EQ(services.requestCleanup("raw words", {"en"}, {}, ""), (CleanupAnswer{"Tidy.\r", "length"}))
        << "the content comes back untrimmed, with why the model stopped";
    const HttpRequest sent = http.requests().back();
    const auto body = nlohmann::json::parse(sent.body);
    EXPECT_EQ(sent.body, body.dump()) << "compact serialisation";
    ASSERT_EQ(body.size(), 4u) << body;
    EXPECT_DOUBLE_EQ(body.at("temperature").get<double>(), 0.2);

    // The token budget grows with the transcript in any script, within bounds.
    std::string bengali;
    for (int i = 0; i < 1000; ++i) {
        bengali += "\u0986\u09AE\u09BF "; // 10 bytes
    }
    const std::vector<std::pair<std::string, int>> cases = {{"short", 600},
                                                            {bengali, 12500},
                                                            {std::string(40000, 'a'), 16384}};
    for (const auto& [raw, maxTokens] : cases) {
        http.willAnswer(200, R"({"choices":[{"message":{"content":"Tidy."}}]})");
        EXPECT_EQ(services.requestCleanup(raw, {"bn"}, {}, ""), (CleanupAnswer{"Tidy.", ""}));
        EXPECT_EQ(nlohmann::json::parse(http.requests().back().body).at("max_tokens"), maxTokens);
    }

    const auto sentBefore = http.requests().size();
    EXPECT_THROW(services.requestCleanup("caf\xe9", {"en"}, {}, ""), JsonError) << "text that is not UTF-8";
    EXPECT_EQ(http.requests().size(), sentBefore);
}

TEST_F(ProviderRequestsTest, StatusMapping)
{
    const std::string error = R"({"error":{"message":"Rate limit reached","type":"requests"}})";
    const std::string proxyPage = "<!DOCTYPE html>\n<html><head><title>502 Bad Gateway</title>"
                                  "<style>body { color: red; }</style></head>\n<body>\n  <h1>Bad   Gateway</h1>"
                                  "\n  <p>Request: Authorization: Bearer sk-test-secret-key</p>\n</body></html>";
    const std::vector<std::tuple<int, std::string, std::optional<DictationError::Kind>, std::string>> cases = {
        {200, R"({"text":"ok"})", std::nullopt, ""},
        {201, R"({"text":"ok"})", DictationError::Kind::api, R"(API error: {"text":"ok"})"},
        {401,
         error,
         DictationError::Kind::auth,
         "OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json."},
        {502,
         proxyPage,
         DictationError::Kind::api,
         "API error: 502 Bad Gateway Bad Gateway Request: Authorization: Bearer [redacted]"},
        {500,
         "trace:\n" + std::string(400, 'x'),
         DictationError::Kind::api,
         "API error: trace: " + std::string(292, 'x') + "\u2026"},
        {400, "bad\x1b[2J input", DictationError::Kind::api, "API error: bad[2J input"},
        {502, "bad \xff", DictationError::Kind::api, "API error: HTTP 502"},
    };
    for (const auto& [status, body, kind, description] : cases) {
        try {
            checkHTTP({status, body}, DictationError::Service::openAI, {"sk-test-secret-key", " "});
            EXPECT_FALSE(kind) << "case " << status << " " << body << ": no error";
        } catch (const DictationError& e) {
            ASSERT_TRUE(kind) << "case " << status << ": " << e.what();
            EXPECT_EQ(e.kind(), *kind) << "case " << status << " " << body;
            EXPECT_EQ(e.what(), description) << "case " << status << " " << body;
        }
    }
}

TEST_F(ProviderRequestsTest, OnlyALostConnectionIsRetriedAndOnlyOnce)
{
    struct Case
    {
        const char* name;
        std::vector<std::optional<Kind>> attempts; // nothing: a 200 answer
        std::optional<Kind> thrown;
        std::size_t expectedRequests;
    };
    const std::vector<Case> cases = {
        {"lost once, then answered", {Kind::connectionLost, std::nullopt}, std::nullopt, 2},
        {"lost, then timed out", {Kind::connectionLost, Kind::timedOut}, Kind::timedOut, 2},
        {"timed out", {Kind::timedOut, std::nullopt}, Kind::timedOut, 1},
        {"no connection", {Kind::cannotConnect, std::nullopt}, Kind::cannotConnect, 1},
    };
    for (const auto& c : cases) {
        FakeHttpClient client;
        RemoteSpeechServices requests({client, credentials, endpoints}, [] { return std::string(kUUID); });
        for (const auto& attempt : c.attempts) {
            attempt ? client.willFail(*attempt) : client.willAnswer(200, R"({"text":"done"})");
        }
        try {
            EXPECT_EQ(requests.transcribeOpenAI(kAudio, {"en"}), "done") << "case " << c.name;
            EXPECT_FALSE(c.thrown) << "case " << c.name << ": no error";
        } catch (const TransportError& e) {
            ASSERT_TRUE(c.thrown) << "case " << c.name << ": " << e.what();
            EXPECT_EQ(e.kind(), *c.thrown) << "case " << c.name;
        }
        const auto sent = client.requests();
        ASSERT_EQ(sent.size(), c.expectedRequests) << "case " << c.name;
        EXPECT_EQ(sent.back().body, sent.front().body) << "case " << c.name << ": the retry sends the same request";
    }
}

TEST_F(ProviderRequestsTest, AnswersThatDoNotHoldTheTextAreParseErrors)
{
    struct Case
    {
        const char* which;
        std::string body;
        std::optional<std::string> expected; // nothing: DictationError::parse
    };
    const std::vector<Case> cases = {
        {"openai", R"({"text":"  Hello there. ","usage":{"total_tokens":9}})", "  Hello there. "},
        {"openai", R"({"text":null})", std::nullopt},
        {"openai", R"([{"text":"x"}])", std::nullopt},
        {"deepgram", R"({"metadata":{}})", std::nullopt},
        {"deepgram", R"({"results":{"channels":[7]}})", std::nullopt},
        {"deepgram", R"({"results":{"channels":[{"alternatives":[]}]}})", std::nullopt},
        {"cleanup", R"({"choices":[]})", std::nullopt},
        {"cleanup", R"({"choices":[{"message":"A."}]})", std::nullopt},
        {"cleanup", R"({"choices":[{"message":{"content":null,"refusal":"No."}}]})", std::nullopt},
    };
    for (const auto& c : cases) {
        http.willAnswer(200, c.body);
        try {
            const std::string text = call(c.which);
            ASSERT_TRUE(c.expected) << "case " << c.body << ": got " << text;
            EXPECT_EQ(text, *c.expected) << "case " << c.body;
        } catch (const DictationError& e) {
            EXPECT_FALSE(c.expected) << "case " << c.body << ": " << e.what();
            EXPECT_EQ(e.kind(), DictationError::Kind::parse) << "case " << c.body;
        }
    }
}

TEST_F(ProviderRequestsTest, BodiesThatAreNotJSONThrowTheJSONError)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"openai", "<html>Bad gateway</html>"},
        {"deepgram", "{\"text\":\"caf\xe9\"}"},
        // Deep nesting must not overflow the stack.
        {"cleanup", std::string(100'000, '[') + std::string(100'000, ']') + "x"},
    };
    for (const auto& [which, body] : cases) {
        http.willAnswer(200, body);
        try {
            call(which);
            ADD_FAILURE() << which << ": no error";
        } catch (const JsonError& e) {
            EXPECT_EQ(e.kind(), JsonError::Kind::unreadable) << which;
        }
    }
}

TEST_F(ProviderRequestsTest, BaseURLsKeepTheirQueryAndOnlyValidEncryptedOrLoopbackOnesAreSentTo)
{
    endpoints.deepgram = "https://proxy.test/v1?team=7";
    http.willAnswer(200, deepgramAnswer("ok"));
    call("deepgram");
    EXPECT_EQ(http.requests().back().url,
              "https://proxy.test/v1/listen?team=7&model=nova-3&punctuate=true&smart_format=true");

    enum class Outcome
    {
        sent,
        insecure, // the key would cross the network in the clear
        invalid
    };
    const std::vector<std::pair<const char*, Outcome>> cases = {
        {"HTTPS://API.EXAMPLE.COM/v1", Outcome::sent},
        {"http://[::1]:9000/v1", Outcome::sent},
        {"http://user:pw@10.0.0.2/v1", Outcome::insecure},
        {"http://127.0.0.1.example.com/v1", Outcome::insecure},
        {"file:///etc", Outcome::invalid},
        {"https://host:80a/v1", Outcome::invalid},
    };
    http.fallback.response = {500, ""};
    for (const auto& [base, outcome] : cases) {
        endpoints.openAI = endpoints.deepgram = base;
        for (const char* which : {"openai", "deepgram", "cleanup"}) {
            const auto before = http.requests().size();
            try {
                call(which);
                ADD_FAILURE() << which << " with '" << base << "': no error";
            } catch (const DictationError& e) {
                const std::string what = e.what();
                EXPECT_EQ(http.requests().size() - before, outcome == Outcome::sent ? 1u : 0u)
                    << which << " with '" << base << "'";
                if (outcome == Outcome::insecure) {
                    EXPECT_EQ(e.kind(), DictationError::Kind::insecureEndpoint) << which << " with " << base;
                    EXPECT_EQ(what.find("pw"), std::string::npos) << what;
                } else if (outcome == Outcome::invalid) {
                    EXPECT_EQ(what, "No internet connection.") << which << " with '" << base << "'";
                }
            }
        }
    }
}

} // namespace
} // namespace quillo::test
