#include "transcription/ProviderHttp.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "base/DictationResult.h"
#include "transcription/JsonError.h"
#include "transcription/OpenAIService.h"

namespace quillo {

namespace {

bool isHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// RFC 3986: unreserved, reserved and the percent sign.
bool isURLCharacter(char c)
{
    if (std::isalnum(static_cast<unsigned char>(c))) {
        return true;
    }
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

bool startsWithIgnoringCase(const std::string& text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

bool isHttpURL(const std::string& text)
{
    std::size_t schemeLength = 0;
    if (startsWithIgnoringCase(text, "http://")) {
        schemeLength = 7;
    } else if (startsWithIgnoringCase(text, "https://")) {
        schemeLength = 8;
    } else {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isURLCharacter(text[i])) {
            return false;
        }
        if (text[i] == '%' && (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
            return false;
        }
    }
    const std::size_t authorityEnd = text.find_first_of("/?#", schemeLength);
    std::string_view authority(text.data() + schemeLength,
                               (authorityEnd == std::string::npos ? text.size() : authorityEnd) - schemeLength);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos || close == 1) {
            return false;
        }
        authority.remove_prefix(close + 1);
        return authority.empty() ||
               (authority.front() == ':' && std::all_of(authority.begin() + 1, authority.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c)) != 0;
                }));
    }
    const auto colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (host.empty() || host.find_first_of("[]") != std::string_view::npos) {
        return false;
    }
    const std::string_view port = colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1);
    return std::all_of(port.begin(), port.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

std::string openAIURL(const std::string& base, const std::string& path)
{
    std::string url = base + path;
    if (!isHttpURL(url)) {
        throw DictationError::network();
    }
    return url;
}

std::string deepgramListenURL(const std::string& base)
{
    std::string url = base + "/listen";
    if (!isHttpURL(url)) {
        throw DictationError::network();
    }
    if (const auto query = url.find_first_of("?#"); query != std::string::npos) {
        url.erase(query);
    }
    url += "?model=";
    url += OpenAIService::deepgramModel;
    url += "&punctuate=true&smart_format=true";
    return url;
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

void checkHTTP(const HttpResponse& response)
{
    if (response.status == 200) {
        return;
    }
    if (response.status == 401) {
        throw DictationError::auth();
    }
    if (isValidUTF8(response.body)) {
        throw DictationError::api(response.body);
    }
    throw DictationError::api("HTTP " + std::to_string(response.status));
}

bool isValidUTF8(const std::string& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;  // bounds of the second byte, which rule out
        unsigned char high = 0xBF; // overlong forms, surrogates and > U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > n || s[i + 1] < low || s[i + 1] > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
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
