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
    const auto body = nlohmann::json::parse(http.requests().back().body);
    EXPECT_EQ(http.requests().back().body, body.dump()) << "compact serialisation";

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
    const std::string proxyPage = "<!DOCTYPE html>\n<html><head><title>502 Bad Gateway</title>"
                                  "<style>body { color: red; }</style></head>\n<body>\n  <h1>Bad   Gateway</h1>"
                                  "\n  <p>Request: Authorization: Bearer sk-test-secret-key</p>\n</body></html>";
    using enum DictationError::Kind;
    const std::vector<std::tuple<int, std::string, std::optional<DictationError::Kind>, std::string>> cases = {
        {200, R"({"text":"ok"})", std::nullopt, ""},
        {201, "bad\x1b[2J input", api, "API error: bad[2J input"},
        {401, "{}", auth, "OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json."},
        {502, proxyPage, api, "API error: 502 Bad Gateway Bad Gateway Request: Authorization: Bearer [redacted]"},
        {500, "trace:\n" + std::string(400, 'x'), api, "API error: trace: " + std::string(292, 'x') + "\u2026"},
        {502, "bad \xff", api, "API error: HTTP 502"},
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

// A lost connection is retried once with the same request; a timeout is not.
TEST_F(ProviderRequestsTest, OnlyALostConnectionIsRetriedAndOnlyOnce)
{
    http.willFail(Kind::connectionLost);
    http.willFail(Kind::timedOut);
    http.willFail(Kind::timedOut);
    for (const std::size_t sent : {2u, 3u}) {
        try {
            call("openai");
            ADD_FAILURE() << "no error";
        } catch (const TransportError& e) {
            EXPECT_EQ(e.kind(), Kind::timedOut);
        }
        EXPECT_EQ(http.requests().size(), sent);
    }
    EXPECT_EQ(http.requests()[1].body, http.requests()[0].body);
}

TEST_F(ProviderRequestsTest, AnswersThatDoNotHoldTheTextAreParseErrors)
{
    const std::vector<std::tuple<const char*, std::string, std::string>> cases = {
        {"openai", R"({"text":"  Hello there. ","usage":{"total_tokens":9}})", "  Hello there. "},
        {"openai", R"({"text":null})", "parse"},
        {"openai", R"([{"text":"x"}])", "parse"},
        {"deepgram", R"({"metadata":{}})", "parse"},
        {"deepgram", R"({"results":{"channels":[7]}})", "parse"},
        {"cleanup", R"({"choices":[]})", "parse"},
        {"openai", "<html>Bad gateway</html>", "unreadable"},
        // Deep nesting must not overflow the stack.
        {"cleanup", std::string(100'000, '[') + std::string(100'000, ']') + "x", "unreadable"},
    };
    for (const auto& [which, body, expected] : cases) {
        http.willAnswer(200, body);
        std::string outcome;
        try {
            outcome = call(which);
        } catch (const DictationError& e) {
            outcome = e.kind() == DictationError::Kind::parse ? "parse" : e.what();
        } catch (const JsonError& e) {
            outcome = e.kind() == JsonError::Kind::unreadable ? "unreadable" : e.what();
        }
        EXPECT_EQ(outcome, expected) << "case " << which << " " << body.substr(0, 40);
    }
}

TEST_F(ProviderRequestsTest, BaseURLsKeepTheirQueryAndOnlyValidEncryptedOrLoopbackOnesAreSentTo)
{
    endpoints.deepgram = "https://proxy.test/v1?team=7";
    http.willAnswer(200, R"({"results":{"channels":[{"alternatives":[{"transcript":"ok"}]}]}})");
    call("deepgram");
    EXPECT_EQ(http.requests().back().url,
              "https://proxy.test/v1/listen?team=7&model=nova-3&punctuate=true&smart_format=true");

    const std::vector<std::pair<const char*, std::string>> cases = {
        {"HTTPS://API.EXAMPLE.COM/v1", "sent"},
        {"http://[::1]:9000/v1", "sent"},
        // Not a loopback host: the key would cross the network in the clear.
        {"http://user:pw@127.0.0.1.example.com/v1", "insecure"},
        {"file:///etc", "No internet connection."},
        {"https://host:80a/v1", "No internet connection."},
    };
    http.fallback.response = {500, ""};
    for (const auto& [base, expected] : cases) {
        endpoints.openAI = endpoints.deepgram = base;
        for (const char* which : {"openai", "deepgram"}) {
            const auto before = http.requests().size();
            std::string outcome;
            try {
                call(which);
            } catch (const DictationError& e) {
                outcome = http.requests().size() > before                      ? "sent"
                          : e.kind() == DictationError::Kind::insecureEndpoint ? "insecure"
                                                                               : e.what();
                EXPECT_EQ(std::string(e.what()).find("pw"), std::string::npos) << e.what();
            }
            EXPECT_EQ(outcome, expected) << which << " with " << base;
        }
    }
}

} // namespace
} // namespace quillo::test
