#pragma once

#include <string>

#include "base/DictationResult.h"

namespace quillo {

class HttpClient;
class ServiceEndpoints;

struct KeyCheckResult
{
    bool works = false;
    std::string message; // a sentence for the user; never contains the key
};

// Asks the service whether `key` is accepted, with one authenticated request
// that costs nothing: the list of models (OpenAI) or of projects (Deepgram).
// Blocks while the request runs, so never call it on the main thread.
KeyCheckResult checkServiceKey(HttpClient& http,
                               const ServiceEndpoints& endpoints,
                               DictationError::Service service,
                               const std::string& key);

} // namespace quillo
