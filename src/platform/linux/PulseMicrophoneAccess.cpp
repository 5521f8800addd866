#include "platform/linux/PulseMicrophoneAccess.h"

namespace quillo {

PulseMicrophoneAccess::PulseMicrophoneAccess(PulseConnection::Options options) : m_options(std::move(options)) {}

void PulseMicrophoneAccess::requestAccess(std::function<void(bool granted)> completion)
{
    std::lock_guard lock(m_mutex);
    m_probes.emplace_back([options = m_options, completion = std::move(completion)] {
        const bool granted = serverReachable(options);
        if (completion) {
            completion(granted);
        }
    });
}

bool PulseMicrophoneAccess::serverReachable(const PulseConnection::Options& options)
{
    PulseConnection connection(options);
    return connection.connect().readyContext() != nullptr;
}

} // namespace quillo
