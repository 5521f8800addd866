// The real requests over libcurl against in-process fakes of the two
// services that answer with the project's fixtures.

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fakes/FakeServiceAccess.h"
#include "fakes/LoopbackHttpServer.h"
#include "platform/linux/CurlHttpClient.h"
#include "transcription/DictationResult.h"
#include "transcription/RemoteSpeechServices.h"
#include "unit/HttplibTestServer.h"

namespace quillo::test {
namespace {

std::string fixture(const std::string& name)
{
    std::ifstream file(std::string(QUILLO_SERVICE_FIXTURES) + "/" + name, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    EXPECT_FALSE(contents.str().empty()) << name;
    return contents.str();
}

const std::string kAudio = std::string("\0\0\0\x1c"
                                       "ftypM4A \r\n--x--\r\n",
                                       22) +
                           std::string(130'000, '\x7f');

class ServicesOverLoopbackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.Post("/v1/audio/transcriptions", [this](const httplib::Request& request, httplib::Response& response) {
            transcriptionRequest = request;
            response.status = status;
            response.set_content(body.empty() ? fixture("openai_transcription_ok.json") : body, "application/json");
        });
        server.Post("/v1/chat/completions", [this](const httplib::Request& request, httplib::Response& response) {
            chatRequest = request;
            response.status = status;
            response.set_content(body.empty() ? fixture("openai_chat_ok.json") : body, "application/json");
        });
        server.Post("/v1/listen", [this](const httplib::Request& request, httplib::Response& response) {
            listenRequest = request;
            response.status = status;
            response.set_content(body.empty() ? fixture("deepgram_listen_ok.json") : body, "application/json");
        });
        running = std::make_unique<HttplibTestServer>(server);
        endpoints.openAI = endpoints.deepgram = running->baseURL() + "/v1";
    }
    void TearDown() override { running.reset(); }

    httplib::Server server;
    std::unique_ptr<HttplibTestServer> running;
    int status = 200;
    std::string body; // empty: the success fixture
    httplib::Request transcriptionRequest;
    httplib::Request chatRequest;
    httplib::Request listenRequest;

    CurlHttpClient http;
    FakeCredentials credentials;
    FakeEndpoints endpoints;
    RemoteSpeechServices services{{http, credentials, endpoints}};
};

TEST_F(ServicesOverLoopbackTest, SuccessBodiesWithTheirExtraMembersYieldTheText)
{
    EXPECT_EQ(services.transcribeOpenAI(kAudio, {"de"}), "Move the design review to Thursday morning.");
    ASSERT_TRUE(transcriptionRequest.is_multipart_form_data());
    EXPECT_EQ(transcriptionRequest.get_file_value("model").content, "gpt-4o-mini-transcribe");
    EXPECT_EQ(transcriptionRequest.get_file_value("language").content, "de");
    const auto file = transcriptionRequest.get_file_value("file");
    EXPECT_EQ(file.filename, "audio.m4a");
    EXPECT_EQ(file.content_type, "audio/mp4");
    EXPECT_EQ(file.content, kAudio);
    EXPECT_EQ(transcriptionRequest.get_header_value("Authorization"), "Bearer sk-test-openai");

    EXPECT_EQ(services.transcribeDeepgram(kAudio), "Ship the release notes today.");
    EXPECT_EQ(listenRequest.target, "/v1/listen?model=nova-3&punctuate=true&smart_format=true");
    EXPECT_EQ(listenRequest.get_header_value("Authorization"), "Token dg-test-deepgram");
    EXPECT_EQ(listenRequest.get_header_value("Content-Type"), "audio/mp4");
    EXPECT_EQ(listenRequest.body, kAudio);

    EXPECT_EQ(services.requestCleanup("please send the report", {"en"}, {}, ""),
              "Please send the quarterly report to Dana before Friday, and copy the finance team.");
    EXPECT_EQ(chatRequest.get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(chatRequest.body).at("messages").at(1).at("content"), "please send the report");
}

TEST_F(ServicesOverLoopbackTest, VendorErrorBodiesMapToTheirErrors)
{
    struct Case
    {
        const char* which;
        int status;
        const char* fixture;
        DictationError::Kind kind;
    };
    const std::vector<Case> cases = {
        {"openai", 401, "openai_error_401.json", DictationError::Kind::auth},
        {"openai", 400, "openai_error_400.json", DictationError::Kind::api},
        {"openai", 413, "openai_error_413.json", DictationError::Kind::api},
        {"openai", 429, "openai_error_429.json", DictationError::Kind::api},
        {"cleanup", 401, "openai_error_401.json", DictationError::Kind::auth},
        {"cleanup", 429, "openai_error_429.json", DictationError::Kind::api},
        {"deepgram", 401, "deepgram_error_401.json", DictationError::Kind::auth},
        {"deepgram", 400, "deepgram_error_400.json", DictationError::Kind::api},
        {"deepgram", 413, "deepgram_error_413.json", DictationError::Kind::api},
        {"deepgram", 429, "deepgram_error_429.json", DictationError::Kind::api},
    };
    for (const auto& c : cases) {
        status = c.status;
        body = fixture(c.fixture);
        const std::string context = std::string(c.which) + " " + std::to_string(c.status);
        try {
            const std::string which = c.which;
            which == "openai"     ? services.transcribeOpenAI(kAudio, {"en", "de"})
            : which == "deepgram" ? services.transcribeDeepgram(kAudio)
                                  : services.requestCleanup("raw", {"en"}, {}, "");
            ADD_FAILURE() << context << ": no error";
        } catch (const DictationError& e) {
            EXPECT_EQ(e.kind(), c.kind) << context;
            if (c.kind == DictationError::Kind::api) {
                EXPECT_EQ(e.message(), body) << context << ": the whole body is the message";
            } else {
                EXPECT_STREQ(e.what(), "API key rejected. Please contact the app developer.") << context;
            }
        }
    }
}

TEST(ServicesOverLoopbackRetryTest, ADroppedConnectionIsSentAgainOnceThroughCurl)
{
    using Behaviour = LoopbackHttpServer::Behaviour;
    const std::string answer = R"({"results":{"channels":[{"alternatives":[{"transcript":"Again."}]}]}})";
    auto reply = [](Behaviour behaviour, std::string body = "") {
        return LoopbackHttpServer::Reply{behaviour, 200, std::move(body)};
    };
    struct Case
    {
        const char* name;
        std::vector<LoopbackHttpServer::Reply> replies;
        bool succeeds;
        int connections;
    };
    const std::vector<Case> cases = {
        {"closed once", {reply(Behaviour::closeAfterRequest), reply(Behaviour::answer, answer)}, true, 2},
        {"reset once", {reply(Behaviour::resetAfterRequest), reply(Behaviour::answer, answer)}, true, 2},
        {"cut short once", {reply(Behaviour::partialAnswer, "{"), reply(Behaviour::answer, answer)}, true, 2},
        {"closed twice",
         {reply(Behaviour::closeAfterRequest), reply(Behaviour::closeAfterRequest), reply(Behaviour::answer, answer)},
         false,
         2},
    };
    for (const auto& c : cases) {
        LoopbackHttpServer server(c.replies);
        CurlHttpClient http;
        FakeCredentials credentials;
        FakeEndpoints endpoints;
        endpoints.deepgram = server.baseURL() + "/v1";
        RemoteSpeechServices services({http, credentials, endpoints});
        try {
            EXPECT_EQ(services.transcribeDeepgram("audio"), "Again.") << "case " << c.name;
            EXPECT_TRUE(c.succeeds) << "case " << c.name;
        } catch (const TransportError& e) {
            EXPECT_FALSE(c.succeeds) << "case " << c.name << ": " << e.what();
            EXPECT_EQ(e.kind(), TransportError::Kind::connectionLost) << "case " << c.name;
        }
        EXPECT_EQ(server.connectionCount(), c.connections) << "case " << c.name;
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), static_cast<std::size_t>(c.connections)) << "case " << c.name;
        EXPECT_EQ(requests.front(), requests.back()) << "case " << c.name << ": the same request both times";
    }
}

} // namespace
} // namespace quillo::test
