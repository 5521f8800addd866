#include "base/DictationResult.h"

namespace quillo {

DictationError::DictationError(Kind kind, std::string message, const std::string& description)
    : std::runtime_error(description), m_kind(kind), m_message(std::move(message))
{}

DictationError DictationError::api(const std::string& message)
{
    return DictationError(Kind::api, message, "API error: " + message);
}

DictationError DictationError::network()
{
    return DictationError(Kind::network, {}, "No internet connection.");
}

DictationError DictationError::auth(Service service)
{
    if (service == Service::deepgram) {
        return DictationError(Kind::auth,
                              {},
                              "Deepgram rejected the API key. Check DEEPGRAM_API_KEY or credentials.json.");
    }
    return DictationError(Kind::auth, {}, "OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json.");
}

DictationError DictationError::parse()
{
    return DictationError(Kind::parse, {}, "Unexpected response from server.");
}

DictationError DictationError::insecureEndpoint(const std::string& url)
{
    return DictationError(Kind::insecureEndpoint,
                          url,
                          "Refusing to send the API key unencrypted to " + url +
                              ". Use https:// (or http:// only to this computer).");
}

} // namespace quillo
