#include "platform/linux/PulseAudioCapture.h"

#include <cstring>
#include <string>
#include <vector>

#include <pulse/stream.h>

#include "platform/linux/PulseConnection.h"

namespace quillo {

namespace {

class PulseCaptureStream final : public AudioCapture::Stream
{
public:
    PulseCaptureStream(std::shared_ptr<PulseConnection> connection, AudioCapture::Sink sink)
        : m_connection(std::move(connection)), m_sink(std::move(sink))
    {}

    ~PulseCaptureStream() override { stop(); }

    PulseCaptureStream(const PulseCaptureStream&) = delete;
    PulseCaptureStream& operator=(const PulseCaptureStream&) = delete;

    // Under the lock, with a ready context. False (and nothing left behind)
    // when the server refuses the stream or does not answer in time.
    bool open(PulseConnection::Lock& held, pa_context* context, const AudioFormat& format, const std::string& source)
    {
        const pa_sample_spec spec{PA_SAMPLE_S16NE,
                                  static_cast<std::uint32_t>(format.sampleRate),
                                  static_cast<std::uint8_t>(format.channels)};
        if (format.sampleRate <= 0 || format.channels <= 0 || !pa_sample_spec_valid(&spec)) {
            return false;
        }
        m_frameBytes = pa_frame_size(&spec);
        m_stream = pa_stream_new(context, "Dictation", &spec, nullptr);
        if (!m_stream) {
            return false;
        }
        pa_stream_set_state_callback(m_stream, &PulseCaptureStream::stateChanged, this);
        pa_stream_set_read_callback(m_stream, &PulseCaptureStream::readable, this);

        // A small fragment makes the server hand over audio every few
        // milliseconds instead of in large blocks, so the first word is not
        // late, and ADJUST_LATENCY lets the source run at that latency too.
        pa_buffer_attr buffer;
        buffer.maxlength = static_cast<std::uint32_t>(-1);
        buffer.tlength = static_cast<std::uint32_t>(-1);
        buffer.prebuf = static_cast<std::uint32_t>(-1);
        buffer.minreq = static_cast<std::uint32_t>(-1);
        buffer.fragsize = static_cast<std::uint32_t>(
            pa_usec_to_bytes(std::chrono::microseconds(PulseAudioCapture::kFragment).count(), &spec));

        // Always a name: "@DEFAULT_SOURCE@" binds the stream to the input in
        // effect now, rather than to a device the server remembers for this
        // program. A chosen source unplugged mid-recording makes the server
        // move the stream to another input, so the words go on being heard.
        const char* device = source.empty() ? "@DEFAULT_SOURCE@" : source.c_str();
        if (pa_stream_connect_record(m_stream, device, &buffer, PA_STREAM_ADJUST_LATENCY) < 0) {
            release();
            return false;
        }
        if (!held.waitUntil([this] { return pa_stream_get_state(m_stream) != PA_STREAM_CREATING; })) {
            release();
            held.giveUpOnServer();
            return false;
        }
        if (pa_stream_get_state(m_stream) != PA_STREAM_READY) {
            release();
            return false;
        }
        return true;
    }

    void stop() override
    {
        auto held = m_connection->lock();
        if (!m_stream) {
            return;
        }
        if (pa_stream_get_state(m_stream) == PA_STREAM_READY) {
            deliverAvailable();
        }
        release();
    }

private:
    static void stateChanged(pa_stream*, void* self) { static_cast<PulseCaptureStream*>(self)->m_connection->signal(); }

    static void readable(pa_stream*, size_t, void* self) { static_cast<PulseCaptureStream*>(self)->deliverAvailable(); }

    // Lock held (mainloop thread, or stop()).
    void deliverAvailable()
    {
        for (;;) {
            const size_t readable = pa_stream_readable_size(m_stream);
            if (readable == 0 || readable == static_cast<size_t>(-1)) {
                return;
            }
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(m_stream, &data, &bytes) < 0 || bytes == 0) {
                return;
            }
            append(data, bytes);
            pa_stream_drop(m_stream);
        }
    }

    // Copies into whole, aligned samples: the server's blocks carry no
    // alignment promise. A hole (no data) is lost audio and becomes silence, so
    // the recording keeps its length.
    void append(const void* data, size_t bytes)
    {
        const size_t previous = m_pending.size();
        m_pending.resize(previous + bytes);
        if (data) {
            std::memcpy(m_pending.data() + previous, data, bytes);
        } else {
            std::memset(m_pending.data() + previous, 0, bytes);
        }
        const size_t whole = m_pending.size() - m_pending.size() % m_frameBytes;
        if (whole == 0) {
            return;
        }
        m_samples.resize(whole / sizeof(std::int16_t));
        std::memcpy(m_samples.data(), m_pending.data(), whole);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(whole));
        m_sink(std::span<const std::int16_t>(m_samples));
    }

    // Lock held. Afterwards no callback refers to this object.
    void release()
    {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        if (pa_stream_get_state(m_stream) == PA_STREAM_READY || pa_stream_get_state(m_stream) == PA_STREAM_CREATING) {
            pa_stream_disconnect(m_stream);
        }
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }

    std::shared_ptr<PulseConnection> m_connection;
    AudioCapture::Sink m_sink;
    pa_stream* m_stream = nullptr; // guarded by the mainloop lock
    size_t m_frameBytes = sizeof(std::int16_t);
    std::vector<std::uint8_t> m_pending; // bytes not yet a whole frame; mainloop lock
    std::vector<std::int16_t> m_samples; // reused for every block; mainloop lock
};

} // namespace

PulseAudioCapture::PulseAudioCapture(std::shared_ptr<PulseConnection> connection, SourceChoice source)
    : m_connection(std::move(connection)), m_source(std::move(source))
{}

std::unique_ptr<AudioCapture::Stream> PulseAudioCapture::start(const AudioFormat& format, Sink sink)
{
    auto held = m_connection->connect();
    pa_context* context = held.readyContext();
    if (!context) {
        return nullptr;
    }
    const std::string source = m_source ? m_source() : std::string();
    auto stream = std::make_unique<PulseCaptureStream>(m_connection, sink);
    if (stream->open(held, context, format, source)) {
        return stream;
    }
    // The chosen source vanished between the choice and now: the default
    // input still records the user's words.
    if (!source.empty() && (context = held.readyContext()) != nullptr) {
        stream = std::make_unique<PulseCaptureStream>(m_connection, std::move(sink));
        if (stream->open(held, context, format, {})) {
            return stream;
        }
    }
    return nullptr;
}

} // namespace quillo
