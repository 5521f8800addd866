#include "platform/linux/CurlHttpClient.h"

#include <set>

#include "fakes/LoopbackHttpServer.h"
#include "unit/HttplibTestServer.h"
#include <gtest/gtest.h>

namespace quillo::test {
namespace {

using namespace std::chrono_literals;
using Behaviour = LoopbackHttpServer::Behaviour;

TEST(CurlHttpClientTest, SendsHeadersAndBodyAsGivenAndReturnsAnyStatus)
{
    httplib::Server server;
    httplib::Headers seenHeaders;
    std::string seenBody;
    server.Post("/v1/thing", [&](const httplib::Request& request, httplib::Response& response) {
        seenHeaders = request.headers;
        seenBody = request.body;
        response.status = 429;
        response.set_content("{\"error\":\"slow down\"}", "application/json");
    });
    server.Get("/v1/models", [&](const httplib::Request& request, httplib::Response& response) {
        seenHeaders = request.headers;
        response.set_content("{\"data\":[]}", "application/json");
    });
    HttplibTestServer running(server);

    // Over a megabyte, where curl would otherwise ask for "100 Continue".
    std::string body("\0\xff binary\r\n", 12);
    body += std::string(1'500'000, 'a');
    HttpRequest request;
    request.url = running.baseURL() + "/v1/thing";
    request.headers = {{"Authorization", "Bearer sk-secret"}, {"Content-Type", "audio/mp4"}};
    request.body = body;

    CurlHttpClient client;
    const HttpResponse response = client.post(request);

    EXPECT_EQ(response.status, 429);
    EXPECT_EQ(response.body, "{\"error\":\"slow down\"}");
    EXPECT_EQ(seenBody, body);
    auto header = [&](const char* name) {
        const auto found = seenHeaders.find(name);
        return found == seenHeaders.end() ? std::string("<absent>") : found->second;
    };
    EXPECT_EQ(header("Authorization"), "Bearer sk-secret");
    EXPECT_EQ(header("Content-Type"), "audio/mp4") << "replaces curl's form content type";
    EXPECT_EQ(header("Expect"), "<absent>");
    EXPECT_EQ(seenHeaders.count("Content-Type"), 1u);

    // A GET, as the key check sends, carries the headers and no body.
    HttpRequest get;
    get.method = HttpRequest::Method::get;
    get.url = running.baseURL() + "/v1/models";
    get.headers = {{"Authorization", "Bearer sk-check"}};
    const HttpResponse listed = client.post(get);
    EXPECT_EQ(listed.status, 200);
    EXPECT_EQ(listed.body, "{\"data\":[]}");
    EXPECT_EQ(header("Authorization"), "Bearer sk-check");
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
        LoopbackHttpServer server({{c.behaviour, 200, "{\"text\":\"partial\"}", 0}});
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

// Both services speak HTTP/2 over TLS, where a dropped connection or a reset
// stream is reported with these codes instead of the HTTP/1 ones above.
TEST(CurlHttpClientTest, HttpTwoConnectionLossesCountAsLostConnections)
{
    for (const int code : {16, 92}) {
        EXPECT_EQ(CurlHttpClient::classify(code), TransportError::Kind::connectionLost) << "code " << code;
    }
}

// No cap on the whole exchange: a slow upload that keeps moving finishes, one
// that stops moving ends after the stall window.
TEST(CurlHttpClientTest, OnlyATransferThatStopsMovingTimesOut)
{
    using Clock = std::chrono::steady_clock;
    CurlHttpClient client;
    HttpRequest request;
    request.stallTimeout = 500ms;
    request.answerTimeout = 500ms;

    // 1.2 MB read at no more than 600 KB/s: two seconds or more, while curl
    // has handed most of the body to the socket buffers at once, so only
    // progress seen in TCP keeps the transfer alive.
    LoopbackHttpServer slow({{Behaviour::answer, 200, "{\"text\":\"ok\"}", 600'000}});
    request.url = slow.baseURL() + "/v1/listen";
    request.body.assign(1'200'000, 'x');
    auto started = Clock::now();
    EXPECT_EQ(client.post(request).body, "{\"text\":\"ok\"}");
    EXPECT_GT(Clock::now() - started, 1500ms) << "the server read slowly";
    EXPECT_EQ(slow.requests().at(0).size() - slow.requests().at(0).find("\r\n\r\n") - 4, request.body.size());

    LoopbackHttpServer stalled({{Behaviour::stallUpload, 200, "", 0}});
    request.url = stalled.baseURL() + "/v1/listen";
    request.body.assign(4u << 20, 'x');
    started = Clock::now();
    try {
        client.post(request);
        ADD_FAILURE() << "no error";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind(), TransportError::Kind::timedOut) << error.what();
        EXPECT_STREQ(error.what(), "The request timed out.");
    }
    EXPECT_LT(Clock::now() - started, 5s);
}

TEST(CurlHttpClientTest, NothingListeningIsACannotConnectFailure)
{
    HttpRequest request;
    request.url = "http://127.0.0.1:1/v1/listen"; // a privileged port nothing in a test listens on
    CurlHttpClient client;
    try {
        client.post(request);
        FAIL() << "no error";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.code(), 7);
        EXPECT_EQ(error.kind(), TransportError::Kind::cannotConnect);
        EXPECT_STREQ(error.what(), "Could not connect to the server.");
    }
}

TEST(CurlHttpClientTest, OnlyHttpUrlsAreFollowed)
{
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/x", "gopher://127.0.0.1/x"}) {
        HttpRequest request;
        request.url = url;
        CurlHttpClient client;
        EXPECT_THROW(client.post(request), TransportError) << url;
    }
}

} // namespace
} // namespace quillo::test
