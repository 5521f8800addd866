#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/Recorder.h"

namespace quillo::test {

// Logs "rec.start", "rec.stop" and "rec.cancel" into the test's events; each stop gives a new file
// ("clip-1.m4a", ...), or none while failing. With a deferred list, completions wait there for the test.
class FakeRecorder final : public Recorder
{
public:
    explicit FakeRecorder(std::vector<std::string>& events, std::vector<std::function<void()>>* deferred = nullptr)
        : m_events(events), m_deferred(deferred)
    {}

    void startRecording() override
    {
        m_events.push_back("rec.start");
        m_running = true;
    }
    void stopRecording(Completion completion) override
    {
        m_events.push_back("rec.stop");
        std::optional<std::string> path;
        if (m_running && !failing) {
            path = "clip-" + std::to_string(++m_files) + ".m4a";
        }
        m_running = false;
        if (m_deferred) {
            m_deferred->push_back([completion, path] { completion(path); });
            return;
        }
        completion(path);
    }

    void cancelRecording() override
    {
        if (m_running) {
            m_events.push_back("rec.cancel");
        }
        m_running = false;
    }

    bool failing = false;

private:
    std::vector<std::string>& m_events;
    std::vector<std::function<void()>>* m_deferred;
    bool m_running = false;
    int m_files = 0;
};

} // namespace quillo::test
