#include "transcription/KeyCheck.h"

#include "base/TextUtil.h"
#include "platform/HttpClient.h"
#include "platform/ServiceEndpoints.h"
#include "transcription/ProviderHttp.h"

namespace quillo {

KeyCheckResult checkServiceKey(HttpClient& http,
                               const ServiceEndpoints& endpoints,
                               DictationError::Service service,
                               const std::string& key)
{
    const bool openAI = service == DictationError::Service::openAI;
    const std::string name = openAI ? "OpenAI" : "Deepgram";
    HttpRequest request;
    request.method = HttpRequest::Method::get;
    request.connectTimeout = std::chrono::seconds(10);
    request.stallTimeout = std::chrono::seconds(10);
    request.answerTimeout = std::chrono::seconds(15);
    try {
        request.url =
            openAIURL(openAI ? endpoints.openAIBase() : endpoints.deepgramBase(), openAI ? "/models" : "/projects");
        request.headers = {{"Authorization", (openAI ? "Bearer " : "Token ") + key}};
        const HttpResponse response = dataWithRetry(http, request);
        if (response.status == 200) {
            return {true, name + " accepted the key."};
        }
        if (response.status == 401 || response.status == 403) {
            return {false, name + " refused the key (HTTP " + std::to_string(response.status) + ")."};
        }
        std::string detail =
            text::isValidUTF8(response.body) ? serviceErrorMessage(response.body, {key}) : std::string();
        return {false,
                name + " answered HTTP " + std::to_string(response.status) + (detail.empty() ? "." : ": " + detail)};
    } catch (const TransportError& error) {
        return {false, "Could not reach " + name + ": " + error.what()};
    } catch (const DictationError& error) {
        return {false, error.what()};
    }
}

} // namespace quillo
