#pragma once

#include <mutex>

#include "platform/Log.h"

namespace quillo {

// Log lines on standard error, one line per write, never interleaved. The
// desktop session (or journald, for a session service) collects them.
class StderrLog final : public Log
{
public:
    void write(const std::string& line) override;

private:
    std::mutex m_mutex; // keeps concurrent lines whole
};

} // namespace quillo
