#include "platform/linux/EnvironmentEndpoints.h"

namespace quillo {

namespace {

std::string overridden(const EnvironmentLookup& environment, const char* name, const char* fallback)
{
    auto value = environment(name);
    if (!value) {
        return fallback;
    }
    while (!value->empty() && value->back() == '/') {
        value->pop_back();
    }
    return *value;
}

} // namespace

EnvironmentEndpoints::EnvironmentEndpoints(const EnvironmentLookup& environment)
    : m_openAIBase(overridden(environment, "QUILLO_OPENAI_BASE_URL", kDefaultOpenAIBase)),
      m_deepgramBase(overridden(environment, "QUILLO_DEEPGRAM_BASE_URL", kDefaultDeepgramBase)),
      m_deepgramStreamURL(overridden(environment, "QUILLO_DEEPGRAM_STREAM_URL", kDefaultDeepgramStreamURL))
{}

} // namespace quillo
