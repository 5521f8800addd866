#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quillo {

struct HttpRequest
{
    enum class Method
    {
        post,
        get // no body is sent
    };

    std::string url; // absolute http:// or https:// URL
    Method method = Method::post;
    // Sent in this order, after the ones the client adds itself (Host,
    // Content-Length). A header given here replaces the client's own of that name.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // No cap on the whole exchange: a long recording on a slow uplink takes
    // as long as it takes while bytes keep moving. Instead:
    // making the connection (TCP and TLS);
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(30)};
    // no byte sent or received for this long while the request or the answer
    // is under way;
    std::chrono::milliseconds stallTimeout{std::chrono::seconds(30)};
    // the server's thinking time: from the last byte of the request to the
    // first byte of the answer.
    std::chrono::milliseconds answerTimeout{std::chrono::seconds(60)};
};

// Whatever HTTP status came back; an error status is an answer, not a failure.
struct HttpResponse
{
    int status = 0;
    std::string body;
};

// No HTTP answer was received. what() is a sentence for the user; it never
// contains request headers (the credentials travel there).
class TransportError : public std::runtime_error
{
public:
    enum class Kind
    {
        connectionLost, // the connection broke after the request had started
        timedOut,       // a connect, stall or answer timeout of the request ran out
        cannotConnect,  // no connection was made (no such host, refused, TLS failure)
        other
    };

    TransportError(Kind kind, int code, const std::string& description)
        : std::runtime_error(description), m_kind(kind), m_code(code)
    {}

    Kind kind() const { return m_kind; }
    // The HTTP library's own error number, for diagnostics.
    int code() const { return m_code; }

private:
    Kind m_kind;
    int m_code;
};

// Sends one request (a POST unless the request says GET) and waits for the
// whole answer.
//
// Threading: post() may be called from any thread except the main thread (it
// blocks while the exchange makes progress); concurrent calls are independent.
// Failure: throws TransportError when no HTTP answer arrived. Nothing is
// retried here; callers decide.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    virtual HttpResponse post(const HttpRequest& request) = 0;
};

} // namespace quillo
