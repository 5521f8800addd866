#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/AudioCapture.h"

namespace quillo {

class PulseConnection;

// Records a source with a low-latency record stream on the shared
// connection's mainloop thread; the server converts rate and channels.
class PulseAudioCapture final : public AudioCapture
{
public:
    // Names the source each new stream records from (a source name); empty
    // for the server's default source.
    using SourceChoice = std::function<std::string()>;

    // The server hands over captured audio in blocks of about this length, so
    // the first samples arrive this soon after the stream starts.
    static constexpr std::chrono::milliseconds kFragment{10};

    explicit PulseAudioCapture(std::shared_ptr<PulseConnection> connection, SourceChoice source = {});

    std::unique_ptr<Stream> start(const AudioFormat& format, Sink sink) override;

private:
    std::shared_ptr<PulseConnection> m_connection;
    SourceChoice m_source;
};

} // namespace quillo
