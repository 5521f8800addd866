#include "platform/linux/CurlHttpClient.h"

#include <memory>
#include <mutex>

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
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quillo/" QUILLO_VERSION);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
    // Signals are process-wide; timeouts must not use them on worker threads.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);

    const CURLcode result = curl_easy_perform(curl);
    if (result != CURLE_OK) {
        if (body.tooLarge) {
            throw TransportError(TransportError::Kind::other, result, "The server's answer was too large.");
        }
        const auto kind = classify(result);
        throw TransportError(kind, result, describe(result, kind));
    }

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return {static_cast<int>(status), std::move(body.data)};
}

} // namespace quillo
