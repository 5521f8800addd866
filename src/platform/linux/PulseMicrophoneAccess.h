#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/PulseConnection.h"

namespace quillo {

// The microphone part of Permissions on this platform. There is no per-program
// microphone grant here: capture is possible exactly when the audio server
// accepts a connection from this user, so that is what is probed. A server that
// is absent, refuses the connection or does not answer in time counts as denied.
class PulseMicrophoneAccess
{
public:
    explicit PulseMicrophoneAccess(PulseConnection::Options options = {});
    // Waits for probes still running (the threads join).
    ~PulseMicrophoneAccess() = default;

    PulseMicrophoneAccess(const PulseMicrophoneAccess&) = delete;
    PulseMicrophoneAccess& operator=(const PulseMicrophoneAccess&) = delete;

    // Returns at once; `completion` runs once, on a worker thread, with the
    // answer (the shape of Permissions::requestMicrophoneAccess).
    void requestAccess(std::function<void(bool granted)> completion);

    // The probe itself: blocks for at most options.timeout, on any thread.
    static bool serverReachable(const PulseConnection::Options& options);

private:
    PulseConnection::Options m_options;
    std::mutex m_mutex; // guards m_probes
    std::vector<std::jthread> m_probes;
};

} // namespace quillo
