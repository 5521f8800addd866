#include "platform/linux/StderrLog.h"

#include <cstdio>

namespace quillo {

void StderrLog::write(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace quillo
