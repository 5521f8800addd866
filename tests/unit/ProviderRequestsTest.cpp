#include "transcription/RemoteSpeechServices.h"

#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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
    struct Case
    {
        const char* name;
        LanguageSet languages;
        std::string expectedBody;
    };
    const std::vector<Case> cases = {
        {"one language names it", {"de"}, model + field("language", "de") + filePart},
        {"two languages leave detection to the service", {"de", "en"}, model + filePart},
        {"no language", {}, model + filePart},
        {"a code outside the catalogue is still sent", {"xx"}, model + field("language", "xx") + filePart},
    };
    for (const auto& c : cases) {
        http.willAnswer(200, R"({"text":"hello"})");
        EXPECT_EQ(services.transcribeOpenAI(kAudio, c.languages), "hello") << "case " << c.name;
        const HttpRequest sent = http.requests().back();
        EXPECT_EQ(sent.body, c.expectedBody) << "case " << c.name;
        EXPECT_EQ(sent.url, "https://openai.test/v1/audio/transcriptions") << "case " << c.name;
        EXPECT_EQ(sent.headers,
                  (Headers{{"Authorization", "Bearer sk-test-openai"},
                           {"Content-Type", std::string("multipart/form-data; boundary=Boundary-") + kUUID}}))
            << "case " << c.name;
    }
}

TEST_F(ProviderRequestsTest, EachUploadGetsAFreshUppercaseUUIDBoundary)
{
    RemoteSpeechServices randomServices({http, credentials, endpoints});
    http.fallback.response = {200, R"({"text":"x"})"};
    randomServices.transcribeOpenAI(kAudio, {"en"});
    randomServices.transcribeOpenAI(kAudio, {"en"});

    const std::regex form(
        "multipart/form-data; boundary=(Boundary-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-"
        "[0-9A-F]{12})");
    std::vector<std::string> boundaries;
    for (const auto& request : http.requests()) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(request.headers.at(1).second, match, form)) << request.headers.at(1).second;
        boundaries.push_back(match[1]);
        EXPECT_EQ(request.body.rfind("--" + boundaries.back() + "\r\n", 0), 0u);
        EXPECT_EQ(request.body.substr(request.body.size() - boundaries.back().size() - 6),
                  "--" + boundaries.back() + "--\r\n");
    }
    EXPECT_NE(boundaries.at(0), boundaries.at(1));
}

TEST_F(ProviderRequestsTest, DeepgramUploadSendsTheRawAudioWithTheQueryInOrder)
{
    http.willAnswer(200, deepgramAnswer("hi there"));
    EXPECT_EQ(services.transcribeDeepgram(kAudio), "hi there");

    const HttpRequest sent = http.requests().back();
    EXPECT_EQ(sent.url, "https://deepgram.test/v1/listen?model=nova-3&punctuate=true&smart_format=true");
    EXPECT_EQ(sent.headers, (Headers{{"Authorization", "Token dg-test-deepgram"}, {"Content-Type", "audio/mp4"}}));
    EXPECT_EQ(sent.body, kAudio);
}

TEST_F(ProviderRequestsTest, CleanupSendsACompactChatCompletionWithExactlyTheKnownMembers)
{
    http.willAnswer(200, R"({"choices":[{"message":{"content":"Tidy.\r"},"finish_reason":"length"}]})");
    const std::string raw = "  um so the raw words\n";
    EXPECT_EQ(services.requestCleanup(raw, {"de", "en"}, {"Kubernetes"}, "Be brief."),
              (CleanupAnswer{"Tidy.\r", "length"}))
        << "the content comes back untrimmed, with why the model stopped";

    const HttpRequest sent = http.requests().back();
    EXPECT_EQ(sent.url, "https://openai.test/v1/chat/completions");
    EXPECT_EQ(sent.headers,
              (Headers{{"Authorization", "Bearer sk-test-openai"}, {"Content-Type", "application/json"}}));

    const auto body = nlohmann::json::parse(sent.body);
    EXPECT_EQ(sent.body, body.dump()) << "compact serialisation";
    ASSERT_EQ(body.size(), 4u) << body;
    EXPECT_EQ(body.at("model"), "gpt-4o-mini");
    EXPECT_TRUE(body.at("temperature").is_number_float());
    EXPECT_DOUBLE_EQ(body.at("temperature").get<double>(), 0.2);
    EXPECT_TRUE(body.at("max_tokens").is_number_integer());
    EXPECT_EQ(body.at("max_tokens"), 600);
    const auto expectedMessages = nlohmann::json::array({
        {{"role", "system"}, {"content", cleanup::systemPrompt({"de", "en"}, {"Kubernetes"}, "Be brief.")}},
        {{"role", "user"}, {"content", raw}},
    });
    EXPECT_EQ(body.at("messages"), expectedMessages);

    // A long dictation gets room for all of its words, in any script; a
    // missing finish_reason reads as empty.
    struct Length
    {
        std::string raw;
        int maxTokens;
    };
    std::string bengali;
    for (int i = 0; i < 1000; ++i) {
        bengali += "\u0986\u09AE\u09BF "; // three letters of three bytes and a space: 10 bytes
    }
    for (const auto& [longRaw, maxTokens] : {Length{bengali, 12500}, Length{std::string(40000, 'a'), 16384}}) {
        http.willAnswer(200, R"({"choices":[{"message":{"content":"Tidy."}}]})");
        EXPECT_EQ(services.requestCleanup(longRaw, {"bn"}, {}, ""), (CleanupAnswer{"Tidy.", ""}));
        EXPECT_EQ(nlohmann::json::parse(http.requests().back().body).at("max_tokens"), maxTokens);
    }

    const auto sentBefore = http.requests().size();
    EXPECT_THROW(services.requestCleanup("caf\xe9", {"en"}, {}, ""), JsonError) << "text that is not UTF-8";
    EXPECT_EQ(http.requests().size(), sentBefore);
}

TEST_F(ProviderRequestsTest, StatusMapping)
{
    struct Case
    {
        const char* name;
        int status;
        std::string body;
        std::optional<DictationError::Kind> kind; // nothing: success
        std::string description;
    };
    const std::string error = R"({"error":{"message":"Rate limit reached","type":"requests"}})";
    const std::string pretty = "{\n  \"error\": {\n    \"message\": \"Bad request\"\n  }\n}\n";
    const std::string proxyPage = "<!DOCTYPE html>\n<html><head><title>502 Bad Gateway</title>"
                                  "<style>body { color: red; }</style></head>\n<body>\n  <h1>Bad   Gateway</h1>"
                                  "\n  <p>Request: Authorization: Bearer sk-test-secret-key</p>\n</body></html>";
    const std::vector<Case> cases = {
        {"200", 200, R"({"text":"ok"})", std::nullopt, ""},
        {"201 is not success", 201, R"({"text":"ok"})", DictationError::Kind::api, R"(API error: {"text":"ok"})"},
        {"401 names the service and the remedy",
         401,
         error,
         DictationError::Kind::auth,
         "OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json."},
        {"429 shows the whole body", 429, error, DictationError::Kind::api, "API error: " + error},
        {"a short body keeps its lines", 400, pretty, DictationError::Kind::api, "API error: " + pretty},
        {"a proxy's page is reduced to its text, without the key",
         502,
         proxyPage,
         DictationError::Kind::api,
         "API error: 502 Bad Gateway Bad Gateway Request: Authorization: Bearer [redacted]"},
        {"a long body is collapsed and cut",
         500,
         "trace:\n" + std::string(400, 'x'),
         DictationError::Kind::api,
         "API error: trace: " + std::string(292, 'x') + "\u2026"},
        {"escape sequences go", 400, "bad\x1b[2J input", DictationError::Kind::api, "API error: bad[2J input"},
        {"500 with no body", 500, "", DictationError::Kind::api, "API error: "},
        {"UTF-8 beyond ASCII is text",
         503,
         "Fehler: \xc3\xbc",
         DictationError::Kind::api,
         "API error: Fehler: \xc3\xbc"},
        {"stray byte", 502, "bad \xff", DictationError::Kind::api, "API error: HTTP 502"},
        {"encoded surrogate", 400, "\xed\xa0\x80", DictationError::Kind::api, "API error: HTTP 400"},
    };
    for (const auto& c : cases) {
        try {
            checkHTTP({c.status, c.body}, DictationError::Service::openAI, {"sk-test-secret-key", " "});
            EXPECT_FALSE(c.kind) << "case " << c.name << ": no error";
        } catch (const DictationError& e) {
            ASSERT_TRUE(c.kind) << "case " << c.name << ": " << e.what();
            EXPECT_EQ(e.kind(), *c.kind) << "case " << c.name;
            EXPECT_EQ(e.what(), c.description) << "case " << c.name;
        }
    }
    // The three requests all go through it, each naming its service.
    for (const char* which : {"openai", "deepgram", "cleanup"}) {
        http.willAnswer(401, "{}");
        try {
            call(which);
            ADD_FAILURE() << which << ": no error";
        } catch (const DictationError& e) {
            EXPECT_EQ(e.kind(), DictationError::Kind::auth) << which;
            EXPECT_EQ(std::string(e.what()).rfind(which == std::string("deepgram") ? "Deepgram" : "OpenAI", 0), 0u)
                << which;
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
        {"lost twice", {Kind::connectionLost, Kind::connectionLost, std::nullopt}, Kind::connectionLost, 2},
        {"lost, then timed out", {Kind::connectionLost, Kind::timedOut}, Kind::timedOut, 2},
        {"timed out", {Kind::timedOut, std::nullopt}, Kind::timedOut, 1},
        {"no connection", {Kind::cannotConnect, std::nullopt}, Kind::cannotConnect, 1},
        {"other failure", {Kind::other, std::nullopt}, Kind::other, 1},
    };
    const std::map<std::string, std::string> answers = {
        {"openai", R"({"text":"done"})"},
        {"deepgram", deepgramAnswer("done")},
        {"cleanup", R"({"choices":[{"message":{"content":"done"}}]})"},
    };
    for (const auto& [which, answer] : answers) {
        for (const auto& c : cases) {
            FakeHttpClient client;
            RemoteSpeechServices requests({client, credentials, endpoints}, [] { return std::string(kUUID); });
            for (const auto& attempt : c.attempts) {
                attempt ? client.willFail(*attempt) : client.willAnswer(200, answer);
            }
            const std::string context = which + ", " + c.name;
            try {
                const std::string text = which == "openai"     ? requests.transcribeOpenAI(kAudio, {"en"})
                                         : which == "deepgram" ? requests.transcribeDeepgram(kAudio)
                                                               : requests.requestCleanup("raw", {"en"}, {}, "").content;
                EXPECT_FALSE(c.thrown) << context << ": no error";
                EXPECT_EQ(text, "done") << context;
            } catch (const TransportError& e) {
                ASSERT_TRUE(c.thrown) << context << ": " << e.what();
                EXPECT_EQ(e.kind(), *c.thrown) << context;
            }
            const auto sent = client.requests();
            ASSERT_EQ(sent.size(), c.expectedRequests) << context;
            if (sent.size() == 2) {
                EXPECT_EQ(sent[1].body, sent[0].body) << context << ": the retry sends the same request";
                EXPECT_EQ(sent[1].headers, sent[0].headers) << context;
                EXPECT_EQ(sent[1].url, sent[0].url) << context;
            }
        }
    }
}

TEST_F(ProviderRequestsTest, AnswersThatDoNotHoldTheTextAreParseErrors)
{
    struct Case
    {
        const char* name;
        const char* which;
        std::string body;
        std::optional<std::string> expected; // nothing: DictationError::parse
    };
    const std::vector<Case> cases = {
        {"text", "openai", R"({"text":"  Hello there. ","usage":{"total_tokens":9}})", "  Hello there. "},
        {"empty text", "openai", R"({"text":""})", ""},
        {"no text", "openai", R"({"usage":{}})", std::nullopt},
        {"text is null", "openai", R"({"text":null})", std::nullopt},
        {"top level is an array", "openai", R"([{"text":"x"}])", std::nullopt},
        {"transcript", "deepgram", deepgramAnswer("Hi."), "Hi."},
        {"no results", "deepgram", R"({"metadata":{}})", std::nullopt},
        {"channels an object", "deepgram", R"({"results":{"channels":{"alternatives":[]}}})", std::nullopt},
        {"a channel that is not an object", "deepgram", R"({"results":{"channels":[7]}})", std::nullopt},
        {"alternatives empty", "deepgram", R"({"results":{"channels":[{"alternatives":[]}]}})", std::nullopt},
        {"transcript a number",
         "deepgram",
         R"({"results":{"channels":[{"alternatives":[{"transcript":1}]}]}})",
         std::nullopt},
        {"content", "cleanup", R"({"choices":[{"message":{"content":"A.\r"},"finish_reason":"stop"}]})", "A.\r"},
        {"choices empty", "cleanup", R"({"choices":[]})", std::nullopt},
        {"choice is null", "cleanup", R"({"choices":[null]})", std::nullopt},
        {"message is a string", "cleanup", R"({"choices":[{"message":"A."}]})", std::nullopt},
        {"content null (a refusal)",
         "cleanup",
         R"({"choices":[{"message":{"content":null,"refusal":"No."}}]})",
         std::nullopt},
    };
    for (const auto& c : cases) {
        http.willAnswer(200, c.body);
        try {
            const std::string text = call(c.which);
            ASSERT_TRUE(c.expected) << "case " << c.name << ": got " << text;
            EXPECT_EQ(text, *c.expected) << "case " << c.name;
        } catch (const DictationError& e) {
            EXPECT_FALSE(c.expected) << "case " << c.name << ": " << e.what();
            EXPECT_EQ(e.kind(), DictationError::Kind::parse) << "case " << c.name;
        }
    }
}

TEST_F(ProviderRequestsTest, BodiesThatAreNotJSONThrowTheJSONError)
{
    const std::vector<std::string> bodies = {
        "",
        "<html>Bad gateway</html>",
        R"({"text":"unterminated)",
        "{\"text\":\"caf\xe9\"}",
        std::string(100'000, '[') + std::string(100'000, ']') + "x", // deep nesting must not overflow the stack
    };
    for (const char* which : {"openai", "deepgram", "cleanup"}) {
        for (const auto& body : bodies) {
            http.willAnswer(200, body);
            try {
                call(which);
                ADD_FAILURE() << which << ": no error for " << body.substr(0, 30);
            } catch (const JsonError& e) {
                EXPECT_EQ(e.kind(), JsonError::Kind::unreadable) << which;
                EXPECT_STREQ(e.what(), "The data couldn't be read because it isn't in the correct format.");
            }
        }
    }
}

TEST_F(ProviderRequestsTest, BaseURLsKeepTheirQueryAndOnlyValidEncryptedOrLoopbackOnesAreSentTo)
{
    http.fallback.response = {200, R"({"text":"ok"})"};
    endpoints.openAI = "https://proxy.test/v1/?team=7#top";
    call("openai");
    EXPECT_EQ(http.requests().back().url, "https://proxy.test/v1/audio/transcriptions?team=7");
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
        {"https://host/v1%20beta", Outcome::sent},
        {"http://api.example.com/v1", Outcome::insecure},
        {"http://user:pw@10.0.0.2/v1", Outcome::insecure},
        {"http://127.0.0.1.example.com/v1", Outcome::insecure},
        {"", Outcome::invalid},
        {"api.example.com/v1", Outcome::invalid},
        {"file:///etc", Outcome::invalid},
        {"https://exa mple.com/v1", Outcome::invalid},
        {"https://example.com/v1\n", Outcome::invalid},
        {"https://host/%zz", Outcome::invalid},
        {"https://host:80a/v1", Outcome::invalid},
        {"http://[::1/v1", Outcome::invalid},
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
                    EXPECT_EQ(what.rfind("Refusing to send the API key unencrypted to http://", 0), 0u) << what;
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
