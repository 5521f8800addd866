#pragma once

#include <cstddef>

#include "platform/HttpClient.h"

namespace quillo {

// HTTP on libcurl: one easy handle, and so one connection, per request, on the
// calling thread. Only http and https URLs are followed; redirects are not.
class CurlHttpClient final : public HttpClient
{
public:
    // Answers larger than this are abandoned, so a broken server cannot
    // exhaust memory.
    static constexpr std::size_t kMaxResponseBytes = 64u << 20;

    // Initialises libcurl once per process; construct on the main thread
    // before any request is made.
    CurlHttpClient();

    HttpResponse post(const HttpRequest& request) override;

    // How a libcurl error code is reported to callers.
    static TransportError::Kind classify(int curlCode);
};

} // namespace quillo
