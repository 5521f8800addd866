#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillo {

// An absolute http, https, ws or wss URL taken apart, so that paths and query
// items are added where they belong instead of being glued onto the text.
class ServiceURL
{
public:
    // Nothing unless the text is such a URL with a host, made only of the
    // characters a URL may carry (no spaces, no raw non-ASCII, "%" followed
    // by two hex digits). A fragment is dropped.
    static std::optional<ServiceURL> parse(const std::string& text);

    // "http", "https", "ws" or "wss", in lower case.
    const std::string& scheme() const { return m_scheme; }
    // The host without brackets or port, in lower case.
    const std::string& host() const { return m_host; }
    const std::string& path() const { return m_path; }
    // Without the "?"; empty when there is none.
    const std::string& query() const { return m_query; }

    // Appends `segment` (beginning with "/") to the path, without doubling
    // a slash the path ends with.
    void appendPath(std::string_view segment);
    // Appends one query item; name and value are sent as given.
    void addQueryItem(std::string_view name, std::string_view value);

    // https or wss.
    bool isEncrypted() const { return m_scheme == "https" || m_scheme == "wss"; }
    // localhost, 127.0.0.0/8 or ::1: traffic that never leaves this computer.
    bool isLoopback() const;

    std::string text() const;

private:
    std::string m_scheme;
    std::string m_authority; // as given: user information, host and port
    std::string m_host;
    std::string m_path;
    std::string m_query;
};

} // namespace quillo
