#pragma once

#include "platform/Credentials.h"
#include "platform/ServiceEndpoints.h"

namespace quillo::test {

class FakeCredentials final : public Credentials
{
public:
    std::optional<std::string> openAIKey() const override { return openAI; }
    std::optional<std::string> deepgramKey() const override { return deepgram; }

    std::optional<std::string> openAI = "sk-test-openai";
    std::optional<std::string> deepgram = "dg-test-deepgram";
};

class FakeEndpoints final : public ServiceEndpoints
{
public:
    std::string openAIBase() const override { return openAI; }
    std::string deepgramBase() const override { return deepgram; }
    std::string deepgramStreamURL() const override { return stream; }

    std::string openAI = "https://openai.test/v1";
    std::string deepgram = "https://deepgram.test/v1";
    std::string stream = "wss://deepgram.test/v1/listen";
};

} // namespace quillo::test
