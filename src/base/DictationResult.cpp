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

DictationError DictationError::auth()
{
    return DictationError(Kind::auth, {}, "API key rejected. Please contact the app developer.");
}

DictationError DictationError::parse()
{
    return DictationError(Kind::parse, {}, "Unexpected response from server.");
}

} // namespace quillo
