#include "platform/linux/CurlHttpClient.h"

#include <set>

#include "fakes/LoopbackHttpServer.h"
#include <gtest/gtest.h>

namespace quillo::test {
namespace {

using namespace std::chrono_literals;
using Behaviour = LoopbackHttpServer::Behaviour;

TEST(CurlHttpClientTest, SendsHeadersAndBodyAsGivenAndReturnsAnyStatus)
{
    LoopbackHttpServer server(
        {{Behaviour::answer, 429, R"({"error":"slow down"})"}, {Behaviour::answer, 200, R"({"data":[]})"}});
    // Over a megabyte, where curl would otherwise ask for "100 Continue".
    HttpRequest request;
    request.url = server.baseURL() + "/v1/thing";
    request.headers = {{"Authorization", "Bearer sk-secret"}, {"Content-Type", "audio/mp4"}};
    request.body = std::string("\0\xff binary\r\n", 12) + std::string(1'500'000, 'a');
    CurlHttpClient client;
    const HttpResponse response = client.post(request);
    EXPECT_EQ(response.status, 429);
    EXPECT_EQ(response.body, R"({"error":"slow down"})");

    // A GET, as the key check sends, carries the headers and no body.
    HttpRequest get;
    get.method = HttpRequest::Method::get;
    get.url = server.baseURL() + "/v1/models";
    get.headers = {{"Authorization", "Bearer sk-check"}};
    EXPECT_EQ(client.post(get).body, R"({"data":[]})");

    const auto sent = server.requests();
    ASSERT_EQ(sent.size(), 2u);
    const std::string head = sent[0].substr(0, sent[0].find("\r\n\r\n") + 2);
    EXPECT_NE(head.find("\r\nContent-Type: audio/mp4\r\n"), std::string::npos) << "replaces curl's form type";
    EXPECT_EQ(head.find("Content-Type:"), head.rfind("Content-Type:")) << head;
    EXPECT_EQ(head.find("Expect:"), std::string::npos) << head;
    EXPECT_EQ(sent[0].substr(head.size() + 2), request.body);
    EXPECT_EQ(sent[1].rfind("GET /v1/models ", 0), 0u) << sent[1];
    EXPECT_NE(sent[1].find("\r\nAuthorization: Bearer sk-check\r\n"), std::string::npos) << sent[1];
}

TEST(CurlHttpClientTest, TransportFailuresCarryTheirCodeAndKind)
{
    struct Case
    {
        const char* name;
        Behaviour behaviour;
        std::size_t bodySize;
        std::set<int> expectedCodes;
        TransportError::Kind expectedKind;
    };
    // The codes found by running these cases: they are what makes a failure
    // count as a lost connection, so a change in libcurl shows up here.
    const std::vector<Case> cases = {
        {"closed after the request", Behaviour::closeAfterRequest, 10, {52}, TransportError::Kind::connectionLost},
        {"reset after the request", Behaviour::resetAfterRequest, 10, {56}, TransportError::Kind::connectionLost},
        // Whether curl notices the reset while sending (55) or while reading
        // for an early answer (56) is a race; both are a lost connection.
        {"closed during the upload",
         Behaviour::closeDuringUpload,
         32u << 20,
         {55, 56},
         TransportError::Kind::connectionLost},
        {"answer cut short", Behaviour::partialAnswer, 10, {18}, TransportError::Kind::connectionLost},
        {"no answer in time", Behaviour::neverAnswer, 10, {28}, TransportError::Kind::timedOut},
    };
    CurlHttpClient client;
    for (const auto& c : cases) {
        LoopbackHttpServer server({{c.behaviour, 200, "{\"text\":\"partial\"}"}});
        HttpRequest request;
        request.url = server.baseURL() + "/v1/listen";
        request.headers = {{"Authorization", "Token dg-secret"}};
        request.body.assign(c.bodySize, 'x');
        request.answerTimeout = 400ms;
        try {
            client.post(request);
            ADD_FAILURE() << "case " << c.name << ": no error";
        } catch (const TransportError& error) {
            EXPECT_TRUE(c.expectedCodes.count(error.code()))
                << "case " << c.name << ": code " << error.code() << ", " << error.what();
            EXPECT_EQ(error.kind(), c.expectedKind) << "case " << c.name;
            EXPECT_EQ(std::string(error.what()).find("dg-secret"), std::string::npos) << "case " << c.name;
        }
        EXPECT_EQ(server.connectionCount(), 1) << "case " << c.name << ": the client itself never retries";
    }
}

// No cap on the whole exchange, but a transfer that stops moving ends after
// the stall window.
TEST(CurlHttpClientTest, ATransferThatStopsMovingTimesOut)
{
    LoopbackHttpServer stalled({{Behaviour::stallUpload, 200, ""}});
    HttpRequest request;
    request.stallTimeout = 500ms;
    request.answerTimeout = 500ms;
    request.url = stalled.baseURL() + "/v1/listen";
    request.body.assign(4u << 20, 'x');
    const auto started = std::chrono::steady_clock::now();
    try {
        CurlHttpClient().post(request);
        ADD_FAILURE() << "no error";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind(), TransportError::Kind::timedOut) << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(CurlHttpClientTest, OnlyHttpUrlsAreFollowed)
{
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/x"}) {
        HttpRequest request;
        request.url = url;
        EXPECT_THROW(CurlHttpClient().post(request), TransportError) << url;
    }
}

} // namespace
} // namespace quillo::test
