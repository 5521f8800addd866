#pragma once

#include <chrono>
#include <memory>

#include "platform/AudioCapture.h"

namespace quillo {

class PulseConnection;

// Records the server's default source with a low-latency record stream on the
// shared connection's mainloop thread; the server converts rate and channels.
class PulseAudioCapture final : public AudioCapture
{
public:
    // The server hands over captured audio in blocks of about this length, so
    // the first samples arrive this soon after the stream starts.
    static constexpr std::chrono::milliseconds kFragment{10};

    explicit PulseAudioCapture(std::shared_ptr<PulseConnection> connection);

    std::unique_ptr<Stream> start(const AudioFormat& format, Sink sink) override;

private:
    std::shared_ptr<PulseConnection> m_connection;
};

} // namespace quillo
