#pragma once

#include <optional>
#include <string>

namespace quillo {

// The two service keys. A key is a secret: it goes into request headers and
// nowhere else (never into a log line, an error text or a file we write).
//
// Threading: any thread. Each call looks the key up afresh, so a key added
// while the program runs is used by the next request.
// Failure: an absent or unreadable key reads as nothing; the service then
// rejects the request, which the caller reports.
class Credentials
{
public:
    virtual ~Credentials() = default;
    virtual std::optional<std::string> openAIKey() const = 0;
    virtual std::optional<std::string> deepgramKey() const = 0;
};

} // namespace quillo
