#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Log.h"

namespace quillo::test {

// Keeps every line for the test to read.
class RecordingLog final : public Log
{
public:
    void write(const std::string& line) override
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    }
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex; // guards m_lines
    std::vector<std::string> m_lines;
};

} // namespace quillo::test
