#pragma once

#include <functional>

#include "transcription/SpeechServices.h"

namespace quillo {

class Credentials;
class HttpClient;
class ServiceEndpoints;

// The three requests of a dictation, as the two services expect them, over
// the platform's HTTP client. Holds no state between calls; calls may overlap.
class RemoteSpeechServices final : public SpeechServices
{
public:
    // Makes the identifier inside each multipart boundary; tests fix it.
    using IdGenerator = std::function<std::string()>;

    struct Dependencies
    {
        HttpClient& http;
        const Credentials& credentials;
        const ServiceEndpoints& endpoints;
    };

    explicit RemoteSpeechServices(Dependencies dependencies, IdGenerator newBoundaryID = randomUUID);

    std::string transcribeOpenAI(const std::string& audioData, const LanguageSet& languages) override;
    std::string transcribeDeepgram(const std::string& audioData) override;
    CleanupAnswer requestCleanup(const std::string& rawTranscript,
                                 const LanguageSet& languages,
                                 const std::vector<std::string>& dictionaryWords,
                                 const std::string& instructions) override;

    // A random (version 4) UUID in canonical upper-case form, 36 characters.
    static std::string randomUUID();

private:
    Dependencies m_deps;
    IdGenerator m_newBoundaryID;
};

} // namespace quillo
