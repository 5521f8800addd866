#include "platform/linux/CurlHttpClient.h"

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <curl/curl.h>

namespace quillo {

namespace {

struct Body
{
    std::string data;
    bool tooLarge = false;
};

std::size_t appendBody(char* bytes, std::size_t size, std::size_t count, void* context)
{
    auto* body = static_cast<Body*>(context);
    const std::size_t length = size * count;
    if (body->data.size() + length > CurlHttpClient::kMaxResponseBytes) {
        body->tooLarge = true;
        return 0; // makes curl stop with CURLE_WRITE_ERROR
    }
    body->data.append(bytes, length);
    return length;
}

// Ends a transfer that stops making progress; see HttpRequest for the limits.
// curl's own counters run ahead of the network by whatever the socket buffers
// hold, so progress is also read from TCP itself: bytes the server has
// acknowledged or sent.
struct Progress
{
    using Clock = std::chrono::steady_clock;

    const HttpRequest& request;
    // The sockets curl has open for this transfer (more than one while it
    // races IPv6 against IPv4).
    std::vector<curl_socket_t> sockets;
    Clock::time_point lastChange = Clock::now();
    std::array<std::uint64_t, 4> counters{};
    bool stalled = false;
};

struct SocketState
{
    std::uint64_t acknowledged = 0;
    std::uint64_t received = 0;
    bool drained = true; // nothing of the request is left unsent or unacknowledged
};

// TCP_ESTABLISHED, which <netinet/tcp.h> names but cannot be included with
// the <linux/tcp.h> that has the full tcp_info.
constexpr std::uint8_t kEstablished = 1;

// The connected socket's counters; the transfer's only connected socket is
// the one in use.
SocketState socketState(const std::vector<curl_socket_t>& sockets)
{
    for (const curl_socket_t socket : sockets) {
        tcp_info info{};
        socklen_t length = sizeof info;
        if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 && info.tcpi_state == kEstablished) {
            return {info.tcpi_bytes_acked,
                    info.tcpi_bytes_received,
                    info.tcpi_unacked == 0 && info.tcpi_notsent_bytes == 0};
        }
    }
    return {};
}

int noteSocket(void* context, curl_socket_t socket, curlsocktype)
{
    static_cast<Progress*>(context)->sockets.push_back(socket);
    return CURL_SOCKOPT_OK;
}

int closeSocket(void* context, curl_socket_t socket)
{
    auto& sockets = static_cast<Progress*>(context)->sockets;
    sockets.erase(std::remove(sockets.begin(), sockets.end(), socket), sockets.end());
    return close(socket);
}

int checkProgress(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent)
{
    auto* progress = static_cast<Progress*>(context);
    const auto now = Progress::Clock::now();
    const SocketState socket = socketState(progress->sockets);
    const std::array<std::uint64_t, 4> counters = {static_cast<std::uint64_t>(sent),
                                                   static_cast<std::uint64_t>(received),
                                                   socket.acknowledged,
                                                   socket.received};
    if (counters != progress->counters) {
        progress->counters = counters;
        progress->lastChange = now;
        return 0;
    }
    const bool awaitingAnswer =
        received == 0 && sent >= static_cast<curl_off_t>(progress->request.body.size()) && socket.drained;
    const auto limit = awaitingAnswer ? progress->request.answerTimeout : progress->request.stallTimeout;
    if (now - progress->lastChange > limit) {
        progress->stalled = true;
        return 1; // makes curl stop with CURLE_ABORTED_BY_CALLBACK
    }
    return 0;
}

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::string describe(CURLcode code, TransportError::Kind kind)
{
    switch (kind) {
    case TransportError::Kind::connectionLost:
        return "The network connection was lost.";
    case TransportError::Kind::timedOut:
        return "The request timed out.";
    case TransportError::Kind::cannotConnect:
        if (code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY) {
            return "A server with the specified hostname could not be found.";
        }
        if (code == CURLE_COULDNT_CONNECT) {
            return "Could not connect to the server.";
        }
        return "A secure connection to the server could not be made.";
    case TransportError::Kind::other:
        break;
    }
    return std::string("A network error occurred (") + curl_easy_strerror(code) + ").";
}

} // namespace

CurlHttpClient::CurlHttpClient()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

TransportError::Kind CurlHttpClient::classify(int curlCode)
{
    switch (static_cast<CURLcode>(curlCode)) {
    // Measured against loopback servers: a partial answer then close (18),
    // close or reset before any answer (52, 56), close during the upload (55).
    // Over HTTP/2, which both services speak, a dropped connection or a reset
    // stream shows as 16 or 92.
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return TransportError::Kind::connectionLost;
    case CURLE_OPERATION_TIMEDOUT:
        return TransportError::Kind::timedOut;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return TransportError::Kind::cannotConnect;
    default:
        return TransportError::Kind::other;
    }
}

HttpResponse CurlHttpClient::post(const HttpRequest& request)
{
    // Declared before the handle: curl closes its sockets, through
    // closeSocket, when the handle is cleaned up.
    Progress progress{request, {}};
    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) {
        throw TransportError(TransportError::Kind::other, CURLE_FAILED_INIT, "A network error occurred.");
    }
    CURL* curl = handle.get();

    std::unique_ptr<curl_slist, ListDeleter> headers;
    auto addHeader = [&headers](const std::string& line) {
        curl_slist* list = curl_slist_append(headers.get(), line.c_str());
        if (!list) {
            throw TransportError(TransportError::Kind::other, CURLE_OUT_OF_MEMORY, "A network error occurred.");
        }
        if (!headers) {
            headers.reset(list); // the head of the list never changes after the first append
        }
    };
    for (const auto& [name, value] : request.headers) {
        addHeader(name + ": " + value);
    }
    // Without this curl asks for "100 Continue" before large bodies and waits
    // a second for an answer most servers never send.
    addHeader("Expect:");

    Body body;
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (request.method == HttpRequest::Method::get) {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quillo/" QUILLO_VERSION);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, noteSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &progress);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &progress);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &progress);
    // Signals are process-wide; timeouts must not use them on worker threads.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);

    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        if (body.tooLarge) {
            throw TransportError(TransportError::Kind::other, result, "The server's answer was too large.");
        }
        if (progress.stalled) {
            throw TransportError(TransportError::Kind::timedOut, CURLE_OPERATION_TIMEDOUT, "The request timed out.");
        }
        const auto kind = classify(result);
        throw TransportError(kind, result, describe(result, kind));
    }

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return {static_cast<int>(status), std::move(body.data)};
}

} // namespace quillo
