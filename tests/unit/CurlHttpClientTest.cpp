#include "platform/linux/CurlHttpClient.h"

#include "fakes/LoopbackHttpServer.h"
#include <gtest/gtest.h>

namespace quillo::test {
namespace {

using namespace std::chrono_literals;
using Behaviour = LoopbackHttpServer::Behaviour;

TEST(CurlHttpClientTest, SendsHeadersAndBodyAsGivenAndReturnsAnyStatus)
{
    LoopbackHttpServer server({Behaviour::answer, 429, R"({"error":"slow down"})"});
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
    EXPECT_EQ(client.post(get).status, 429);

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

// A connection closed without an answer counts as lost (and may be retried);
// a transfer that stops moving ends after the stall window, though nothing
// caps the whole exchange.
TEST(CurlHttpClientTest, ALostConnectionAndAStalledTransferEachHaveTheirKind)
{
    for (const Behaviour behaviour : {Behaviour::closeAfterRequest, Behaviour::stallUpload}) {
        LoopbackHttpServer server({behaviour, 200, ""});
        HttpRequest request;
        request.url = server.baseURL() + "/v1/listen";
        request.headers = {{"Authorization", "Token dg-secret"}};
        request.body.assign(behaviour == Behaviour::stallUpload ? 4u << 20 : 10u, 'x');
        request.stallTimeout = request.answerTimeout = 500ms;
        const auto started = std::chrono::steady_clock::now();
        try {
            CurlHttpClient().post(request);
            ADD_FAILURE() << "no error";
        } catch (const TransportError& error) {
            EXPECT_EQ(error.kind(),
                      behaviour == Behaviour::stallUpload ? TransportError::Kind::timedOut
                                                          : TransportError::Kind::connectionLost)
                << error.what();
            EXPECT_EQ(std::string(error.what()).find("dg-secret"), std::string::npos);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        EXPECT_EQ(server.connectionCount(), 1) << "the client itself never retries";
    }
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
