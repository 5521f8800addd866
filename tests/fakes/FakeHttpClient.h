#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/HttpClient.h"

namespace quillo::test {

// Answers each request with the next scripted outcome (a response or a
// transport failure), then with `fallback`; records every request.
class FakeHttpClient final : public HttpClient
{
public:
    HttpResponse post(const HttpRequest& request) override
    {
        std::optional<TransportError> failure;
        HttpResponse response;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            Outcome outcome = fallback;
            if (!m_outcomes.empty()) {
                outcome = std::move(m_outcomes.front());
                m_outcomes.pop_front();
            }
            failure = std::move(outcome.failure);
            response = std::move(outcome.response);
        }
        if (failure) {
            throw *failure;
        }
        return response;
    }

    void willAnswer(int status, std::string body)
    {
        std::lock_guard lock(m_mutex);
        m_outcomes.push_back({HttpResponse{status, std::move(body)}, std::nullopt});
    }
    void willFail(TransportError::Kind kind, int code = 0)
    {
        std::lock_guard lock(m_mutex);
        m_outcomes.push_back({{}, TransportError(kind, code, "injected transport failure")});
    }

    std::vector<HttpRequest> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    struct Outcome
    {
        HttpResponse response;
        std::optional<TransportError> failure;
    };
    Outcome fallback{{200, "{}"}, std::nullopt}; // set before requests start

private:
    mutable std::mutex m_mutex; // guards m_outcomes and m_requests
    std::deque<Outcome> m_outcomes;
    std::vector<HttpRequest> m_requests;
};

} // namespace quillo::test
