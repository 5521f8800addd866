#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/DictationResult.h"
#include "platform/HttpClient.h"

namespace quillo {

// The steps every request to the two services shares: building the URL,
// sending with one retry, reading the status, and walking the JSON answer.

// `base` with `path` appended to its path (a query in the base stays after
// it). Throws DictationError::network when the base is not an http(s) URL and
// DictationError::insecureEndpoint for plain http to another computer.
std::string openAIURL(const std::string& base, const std::string& path);

// `base` with "/listen" appended to its path and the query items model,
// punctuate, smart_format after any the base has. Fails as openAIURL does.
std::string deepgramListenURL(const std::string& base);

// Service error bodies are shown to the user: longer than this, or markup (a
// proxy's error page), they are reduced to their text.
inline constexpr std::size_t kMaxErrorMessageCharacters = 300;

// A short body as it is; markup stripped, white space collapsed and cut to
// 300 characters otherwise. Each of `secrets` (the request's credentials) is
// replaced, and control characters are dropped.
std::string serviceErrorMessage(const std::string& body, const std::vector<std::string>& secrets);

// Sends the request; when the connection was lost mid-request, sends it once
// more at once and returns or throws whatever that second attempt gives. Every
// other TransportError is thrown unchanged.
HttpResponse dataWithRetry(HttpClient& client, const HttpRequest& request);

// Returns for status 200. Throws DictationError::auth naming the service for
// 401, and DictationError::api for anything else: with the body as
// serviceErrorMessage gives it when it is valid UTF-8, else "HTTP <status>".
void checkHTTP(const HttpResponse& response,
               DictationError::Service service,
               const std::vector<std::string>& secrets = {});

namespace json_walk {

// The body parsed as JSON; throws JsonError when it is not JSON.
nlohmann::json parse(const std::string& body);

// Each step returns the value asked for or throws DictationError::parse.
const nlohmann::json& member(const nlohmann::json& object, const char* key);
// The first element of an array whose elements are all objects.
const nlohmann::json& firstObject(const nlohmann::json& array);
const std::string& string(const nlohmann::json& value);

} // namespace json_walk

} // namespace quillo
