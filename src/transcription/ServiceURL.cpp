#include "transcription/ServiceURL.h"

#include <algorithm>
#include <cctype>

namespace quillo {

namespace {

bool isHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// RFC 3986: unreserved, reserved and the percent sign.
bool isURLCharacter(char c)
{
    if (std::isalnum(static_cast<unsigned char>(c))) {
        return true;
    }
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return result;
}

} // namespace

std::optional<ServiceURL> ServiceURL::parse(const std::string& text)
{
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos) {
        return std::nullopt;
    }
    ServiceURL url;
    url.m_scheme = lowered(std::string_view(text).substr(0, schemeEnd));
    if (url.m_scheme != "http" && url.m_scheme != "https" && url.m_scheme != "ws" && url.m_scheme != "wss") {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isURLCharacter(text[i])) {
            return std::nullopt;
        }
        if (text[i] == '%' && (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
            return std::nullopt;
        }
    }

    const std::size_t authorityStart = schemeEnd + 3;
    const std::size_t authorityEnd = std::min(text.find_first_of("/?#", authorityStart), text.size());
    url.m_authority = text.substr(authorityStart, authorityEnd - authorityStart);
    const std::size_t queryStart = std::min(text.find_first_of("?#", authorityEnd), text.size());
    url.m_path = text.substr(authorityEnd, queryStart - authorityEnd);
    if (queryStart < text.size() && text[queryStart] == '?') {
        const std::size_t fragment = std::min(text.find('#', queryStart), text.size());
        url.m_query = text.substr(queryStart + 1, fragment - queryStart - 1);
    }

    std::string_view hostAndPort(url.m_authority);
    if (const auto at = hostAndPort.rfind('@'); at != std::string_view::npos) {
        hostAndPort.remove_prefix(at + 1);
    }
    std::string_view port;
    if (!hostAndPort.empty() && hostAndPort.front() == '[') {
        const auto close = hostAndPort.find(']');
        if (close == std::string_view::npos || close == 1) {
            return std::nullopt;
        }
        url.m_host = lowered(hostAndPort.substr(1, close - 1));
        const std::string_view rest = hostAndPort.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return std::nullopt;
        }
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const auto colon = hostAndPort.find(':');
        url.m_host = lowered(hostAndPort.substr(0, colon));
        if (url.m_host.empty() || url.m_host.find_first_of("[]") != std::string::npos) {
            return std::nullopt;
        }
        port = colon == std::string_view::npos ? std::string_view() : hostAndPort.substr(colon + 1);
    }
    if (!std::all_of(port.begin(), port.end(), isDigit)) {
        return std::nullopt;
    }
    return url;
}

void ServiceURL::appendPath(std::string_view segment)
{
    // "/v1/" and "/listen" make "/v1/listen", not "/v1//listen".
    if (!m_path.empty() && m_path.back() == '/' && !segment.empty() && segment.front() == '/') {
        m_path.pop_back();
    }
    m_path += segment;
}

void ServiceURL::addQueryItem(std::string_view name, std::string_view value)
{
    if (!m_query.empty()) {
        m_query += '&';
    }
    m_query += name;
    m_query += '=';
    m_query += value;
}

bool ServiceURL::isLoopback() const
{
    if (m_host == "localhost" || m_host == "::1") {
        return true;
    }
    // 127.0.0.0/8, written as four decimal numbers.
    if (m_host.rfind("127.", 0) != 0) {
        return false;
    }
    int dots = 0;
    for (const char c : m_host) {
        if (c == '.') {
            ++dots;
        } else if (!isDigit(c)) {
            return false;
        }
    }
    return dots == 3;
}

std::string ServiceURL::text() const
{
    std::string result = m_scheme + "://" + m_authority + m_path;
    if (!m_query.empty()) {
        result += '?';
        result += m_query;
    }
    return result;
}

} // namespace quillo
