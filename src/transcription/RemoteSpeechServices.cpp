#include "transcription/RemoteSpeechServices.h"

#include <array>
#include <cstdint>
#include <random>

#include "platform/Credentials.h"
#include "platform/HttpClient.h"
#include "platform/ServiceEndpoints.h"
#include "transcription/CleanupPrompt.h"
#include "transcription/OpenAIService.h"
#include "transcription/ProviderHttp.h"

namespace quillo {

namespace {

void appendField(std::string& body, const std::string& name, const std::string& value, const std::string& boundary)
{
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n";
    body += value + "\r\n";
}

std::string bearer(const Credentials& credentials)
{
    return "Bearer " + credentials.openAIKey().value_or("");
}

// What must never be shown back from an error page.
std::vector<std::string> secrets(const Credentials& credentials)
{
    return {credentials.openAIKey().value_or(""), credentials.deepgramKey().value_or("")};
}

} // namespace

RemoteSpeechServices::RemoteSpeechServices(Dependencies dependencies, IdGenerator newBoundaryID)
    : m_deps(dependencies), m_newBoundaryID(std::move(newBoundaryID))
{}

std::string RemoteSpeechServices::transcribeOpenAI(const std::string& audioData, const LanguageSet& languages)
{
    const std::string boundary = "Boundary-" + m_newBoundaryID();

    std::string body;
    body.reserve(audioData.size() + 512);
    appendField(body, "model", OpenAIService::transcriptionModel, boundary);
    // With several languages the service detects which one was spoken.
    if (languages.size() == 1) {
        appendField(body, "language", *languages.begin(), boundary);
    }
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"file\"; filename=\"audio.m4a\"\r\n";
    body += "Content-Type: audio/mp4\r\n\r\n";
    body += audioData;
    body += "\r\n--" + boundary + "--\r\n";

    HttpRequest request;
    request.url = openAIURL(m_deps.endpoints.openAIBase(), "/audio/transcriptions");
    request.headers = {{"Authorization", bearer(m_deps.credentials)},
                       {"Content-Type", "multipart/form-data; boundary=" + boundary}};
    request.body = std::move(body);

    const HttpResponse response = dataWithRetry(m_deps.http, request);
    checkHTTP(response, DictationError::Service::openAI, secrets(m_deps.credentials));

    using namespace json_walk;
    return string(member(parse(response.body), "text"));
}

std::string RemoteSpeechServices::transcribeDeepgram(const std::string& audioData)
{
    HttpRequest request;
    request.url = deepgramListenURL(m_deps.endpoints.deepgramBase());
    request.headers = {{"Authorization", "Token " + m_deps.credentials.deepgramKey().value_or("")},
                       {"Content-Type", "audio/mp4"}};
    request.body = audioData;

    const HttpResponse response = dataWithRetry(m_deps.http, request);
    checkHTTP(response, DictationError::Service::deepgram, secrets(m_deps.credentials));

    using namespace json_walk;
    const auto document = parse(response.body);
    const auto& channel = firstObject(member(member(document, "results"), "channels"));
    const auto& alternative = firstObject(member(channel, "alternatives"));
    return string(member(alternative, "transcript"));
}

CleanupAnswer RemoteSpeechServices::requestCleanup(const std::string& rawTranscript,
                                                   const LanguageSet& languages,
                                                   const std::vector<std::string>& dictionaryWords,
                                                   const std::string& instructions)
{
    HttpRequest request;
    request.url = openAIURL(m_deps.endpoints.openAIBase(), "/chat/completions");
    request.headers = {{"Authorization", bearer(m_deps.credentials)}, {"Content-Type", "application/json"}};
    request.body = cleanup::requestBody(cleanup::systemPrompt(languages, dictionaryWords, instructions), rawTranscript);

    const HttpResponse response = dataWithRetry(m_deps.http, request);
    checkHTTP(response, DictationError::Service::openAI, secrets(m_deps.credentials));
    return cleanup::parseAnswer(response.body);
}

std::string RemoteSpeechServices::randomUUID()
{
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        const std::uint64_t word = generator();
        for (std::size_t k = 0; k < 8; ++k) {
            bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant

    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

} // namespace quillo
