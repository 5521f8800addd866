#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "platform/HttpClient.h"

namespace quillo {

// The steps every request to the two services shares: building the URL,
// sending with one retry, reading the status, and walking the JSON answer.

// True for an absolute http or https URL with a host, made only of characters
// a URL may carry (no spaces, no raw non-ASCII, "%" followed by two hex digits).
bool isHttpURL(const std::string& text);

// `base` followed directly by `path`. Throws DictationError::network when the
// result is not an http(s) URL.
std::string openAIURL(const std::string& base, const std::string& path);

// `base` + "/listen" with the query model, punctuate, smart_format, in that
// order. A query or fragment already in the base is replaced. Throws
// DictationError::network when the result is not an http(s) URL.
std::string deepgramListenURL(const std::string& base);

// Sends the request; when the connection was lost mid-request, sends it once
// more at once and returns or throws whatever that second attempt gives. Every
// other TransportError is thrown unchanged.
HttpResponse dataWithRetry(HttpClient& client, const HttpRequest& request);

// Returns for status 200. Throws DictationError::auth for 401, and
// DictationError::api for anything else: with the body as the message when it
// is valid UTF-8, else "HTTP <status>".
void checkHTTP(const HttpResponse& response);

bool isValidUTF8(const std::string& bytes);

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
