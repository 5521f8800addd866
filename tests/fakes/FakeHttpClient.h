#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "platform/HttpClient.h"

namespace quillo::test {

// Answers each request with the next scripted outcome (a response or a
// transport failure), then with `fallback`; records every request.
class FakeHttpClient final : public HttpClient
{
public:
    struct Outcome
    {
        HttpResponse response;
        std::optional<TransportError> failure;
    };

    HttpResponse post(const HttpRequest& request) override
    {
        m_requests.push_back(request);
        Outcome outcome = fallback;
        if (!m_outcomes.empty()) {
            outcome = std::move(m_outcomes.front());
            m_outcomes.pop_front();
        }
        if (outcome.failure) {
            throw *outcome.failure;
        }
        return outcome.response;
    }

    void willAnswer(int status, std::string body) { m_outcomes.push_back({{status, std::move(body)}, std::nullopt}); }
    void willFail(TransportError::Kind kind)
    {
        m_outcomes.push_back({{}, TransportError(kind, 0, "injected failure")});
    }
    std::vector<HttpRequest> requests() const { return m_requests; }

    Outcome fallback{{200, "{}"}, std::nullopt};

private:
    std::deque<Outcome> m_outcomes;
    std::vector<HttpRequest> m_requests;
};

} // namespace quillo::test
