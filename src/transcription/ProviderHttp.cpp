#include "transcription/ProviderHttp.h"

#include <algorithm>
#include <cstdint>

#include "base/DictationResult.h"
#include "base/TextUtil.h"
#include "transcription/JsonError.h"
#include "transcription/OpenAIService.h"
#include "transcription/ServiceURL.h"

namespace quillo {

namespace {

// A usable REST address that does not send the key in the clear to another
// computer. Throws DictationError::network or ::insecureEndpoint.
ServiceURL restURL(const std::string& base)
{
    auto url = ServiceURL::parse(base);
    if (!url || (url->scheme() != "http" && url->scheme() != "https")) {
        throw DictationError::network();
    }
    if (!url->isEncrypted() && !url->isLoopback()) {
        // Without the user information, which may hold a password.
        throw DictationError::insecureEndpoint(url->scheme() + "://" + url->host() + url->path());
    }
    return *url;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Text of a markup page: tags, scripts and styles go.
std::string withoutMarkup(const std::string& page)
{
    std::string text;
    std::size_t i = 0;
    while (i < page.size()) {
        if (page[i] != '<') {
            text += page[i++];
            continue;
        }
        for (const char* block : {"script", "style"}) {
            const std::string open = std::string("<") + block;
            if (page.compare(i, open.size(), open) == 0) {
                const auto close = page.find(std::string("</") + block, i);
                i = close == std::string::npos ? page.size() : close;
            }
        }
        const auto end = page.find('>', i);
        i = end == std::string::npos ? page.size() : end + 1;
        text += ' ';
    }
    return text;
}

bool looksLikeMarkup(const std::string& body)
{
    const auto first = std::find_if_not(body.begin(), body.end(), isSpace);
    return first != body.end() && *first == '<';
}

} // namespace

std::string openAIURL(const std::string& base, const std::string& path)
{
    ServiceURL url = restURL(base);
    url.appendPath(path);
    return url.text();
}

std::string deepgramListenURL(const std::string& base)
{
    ServiceURL url = restURL(base);
    url.appendPath("/listen");
    url.addQueryItem("model", OpenAIService::deepgramModel);
    url.addQueryItem("punctuate", "true");
    url.addQueryItem("smart_format", "true");
    return url.text();
}

std::string serviceErrorMessage(const std::string& body, const std::vector<std::string>& secrets)
{
    std::string message = body;
    const bool markup = looksLikeMarkup(body);
    if (markup || message.size() > kMaxErrorMessageCharacters) {
        if (markup) {
            message = withoutMarkup(message);
        }
        std::string collapsed;
        for (const char c : message) {
            if (!isSpace(c)) {
                collapsed += c;
            } else if (!collapsed.empty() && collapsed.back() != ' ') {
                collapsed += ' ';
            }
        }
        while (!collapsed.empty() && collapsed.back() == ' ') {
            collapsed.pop_back();
        }
        message = std::move(collapsed);
    }
    // A proxy that echoes the request must not put the key on the screen.
    for (const auto& secret : secrets) {
        if (secret.size() < 8) {
            continue; // too short to be a real key; replacing it would garble the text
        }
        for (auto at = message.find(secret); at != std::string::npos; at = message.find(secret, at)) {
            message.replace(at, secret.size(), "[redacted]");
        }
    }
    message = text::removeControlCharacters(message);
    if (text::countCharacters(message) > kMaxErrorMessageCharacters) {
        message = text::prefixCharacters(message, kMaxErrorMessageCharacters - 1) + "\u2026";
    }
    return message;
}

HttpResponse dataWithRetry(HttpClient& client, const HttpRequest& request)
{
    try {
        return client.post(request);
    } catch (const TransportError& error) {
        if (error.kind() != TransportError::Kind::connectionLost) {
            throw;
        }
    }
    return client.post(request);
}

void checkHTTP(const HttpResponse& response, DictationError::Service service, const std::vector<std::string>& secrets)
{
    if (response.status == 200) {
        return;
    }
    if (response.status == 401) {
        throw DictationError::auth(service);
    }
    if (text::isValidUTF8(response.body)) {
        throw DictationError::api(serviceErrorMessage(response.body, secrets));
    }
    throw DictationError::api("HTTP " + std::to_string(response.status));
}

namespace json_walk {

nlohmann::json parse(const std::string& body)
{
    try {
        return nlohmann::json::parse(body);
    } catch (const nlohmann::json::exception&) {
        throw JsonError(JsonError::Kind::unreadable);
    }
}

const nlohmann::json& member(const nlohmann::json& object, const char* key)
{
    if (!object.is_object()) {
        throw DictationError::parse();
    }
    const auto found = object.find(key);
    if (found == object.end()) {
        throw DictationError::parse();
    }
    return *found;
}

const nlohmann::json& firstObject(const nlohmann::json& array)
{
    if (!array.is_array() || array.empty() ||
        !std::all_of(array.begin(), array.end(), [](const nlohmann::json& element) { return element.is_object(); })) {
        throw DictationError::parse();
    }
    return array.front();
}

const std::string& string(const nlohmann::json& value)
{
    if (!value.is_string()) {
        throw DictationError::parse();
    }
    return value.get_ref<const std::string&>();
}

} // namespace json_walk

} // namespace quillo
