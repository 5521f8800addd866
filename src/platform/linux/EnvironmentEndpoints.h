#pragma once

#include "platform/ServiceEndpoints.h"
#include "platform/linux/Environment.h"

namespace quillo {

// The vendors' endpoints, each replaceable by an environment variable
// (QUILLO_OPENAI_BASE_URL, QUILLO_DEEPGRAM_BASE_URL, QUILLO_DEEPGRAM_STREAM_URL).
// Read once, when constructed; trailing slashes of an override are dropped.
class EnvironmentEndpoints final : public ServiceEndpoints
{
public:
    static constexpr const char* kDefaultOpenAIBase = "https://api.openai.com/v1";
    static constexpr const char* kDefaultDeepgramBase = "https://api.deepgram.com/v1";
    static constexpr const char* kDefaultDeepgramStreamURL = "wss://api.deepgram.com/v1/listen";

    explicit EnvironmentEndpoints(const EnvironmentLookup& environment = processEnvironment);

    std::string openAIBase() const override { return m_openAIBase; }
    std::string deepgramBase() const override { return m_deepgramBase; }
    std::string deepgramStreamURL() const override { return m_deepgramStreamURL; }

private:
    std::string m_openAIBase;
    std::string m_deepgramBase;
    std::string m_deepgramStreamURL;
};

} // namespace quillo
