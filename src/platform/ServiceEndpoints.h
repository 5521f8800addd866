#pragma once

#include <string>

namespace quillo {

// Where the remote services are. Tests point these at loopback fakes.
//
// Threading: any thread; the values do not change while the program runs.
// Failure: none here; a value that is not a usable URL makes the request that
// uses it fail.
class ServiceEndpoints
{
public:
    virtual ~ServiceEndpoints() = default;
    // REST base URLs including the "/v1" prefix, without a trailing slash.
    virtual std::string openAIBase() const = 0;
    virtual std::string deepgramBase() const = 0;
    // The full URL of the live-streaming WebSocket endpoint, without a query.
    virtual std::string deepgramStreamURL() const = 0;
};

} // namespace quillo
