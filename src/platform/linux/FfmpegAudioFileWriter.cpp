#include "platform/linux/FfmpegAudioFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace quillo {

namespace {

// AVERROR(EAGAIN) and AVERROR_EOF expand to C casts inside FFmpeg's headers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
constexpr int kAgain = AVERROR(EAGAIN);
constexpr int kEndOfFile = AVERROR_EOF;
#pragma GCC diagnostic pop

constexpr int kIoBufferSize = 32 * 1024;

// FFmpeg writes through the descriptor the file was created with, never by
// name: the name could be replaced in between.
int writeToDescriptor(void* opaque, std::uint8_t* data, int size)
{
    const int fd = *static_cast<int*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, static_cast<size_t>(size - written));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return AVERROR(errno);
        }
        written += static_cast<int>(n);
    }
    return written;
}

std::int64_t seekDescriptor(void* opaque, std::int64_t offset, int whence)
{
    const int fd = *static_cast<int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat info
        {};
        return ::fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : AVERROR(errno);
    }
    const off_t position = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<std::int64_t>(position);
}

class FfmpegAudioFile final : public AudioFileWriter::File
{
public:
    // Takes the descriptor of the new, empty file.
    explicit FfmpegAudioFile(int fd) : m_fd(fd) {}

    ~FfmpegAudioFile() override
    {
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        closeOutput();
        if (m_format) {
            avformat_free_context(m_format);
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    FfmpegAudioFile(const FfmpegAudioFile&) = delete;
    FfmpegAudioFile& operator=(const FfmpegAudioFile&) = delete;

    bool open(const AudioFormat& format)
    {
        m_channels = format.channels;
        if (format.sampleRate <= 0 || format.channels <= 0) {
            return false;
        }
        if (avformat_alloc_output_context2(&m_format, nullptr, "ipod", nullptr) < 0 || !m_format) {
            return false;
        }
        const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
        if (!encoder) {
            return false;
        }
        m_stream = avformat_new_stream(m_format, nullptr);
        m_codec = avcodec_alloc_context3(encoder);
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
        if (!m_stream || !m_codec || !m_packet || !m_frame) {
            return false;
        }
        m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP; // the only format the native encoder takes
        m_codec->sample_rate = format.sampleRate;
        av_channel_layout_default(&m_codec->ch_layout, format.channels);
        m_codec->bit_rate = FfmpegAudioFileWriter::kBitRate;
        m_codec->time_base = AVRational{1, format.sampleRate};
        if (m_format->oformat->flags & AVFMT_GLOBALHEADER) {
            m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (avcodec_open2(m_codec, encoder, nullptr) < 0 ||
            avcodec_parameters_from_context(m_stream->codecpar, m_codec) < 0) {
            return false;
        }
        m_stream->time_base = m_codec->time_base;

        m_frame->format = m_codec->sample_fmt;
        m_frame->sample_rate = m_codec->sample_rate;
        m_frame->nb_samples = m_codec->frame_size;
        if (av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout) < 0 ||
            av_frame_get_buffer(m_frame, 0) < 0) {
            return false;
        }
        m_planes.assign(static_cast<size_t>(m_channels), {});

        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        m_format->pb =
            buffer ? avio_alloc_context(buffer, kIoBufferSize, 1, &m_fd, nullptr, &writeToDescriptor, &seekDescriptor)
                   : nullptr;
        if (!m_format->pb) {
            av_free(buffer);
            return false;
        }
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
        return avformat_write_header(m_format, nullptr) >= 0;
    }

    bool append(std::span<const std::int16_t> samples) override
    {
        if (m_failed || m_finished) {
            return false;
        }
        const size_t channels = m_planes.size();
        const size_t frames = samples.size() / channels;
        for (size_t c = 0; c < channels; ++c) {
            auto& plane = m_planes[c];
            plane.reserve(plane.size() + frames);
            for (size_t i = 0; i < frames; ++i) {
                plane.push_back(static_cast<float>(samples[i * channels + c]) / 32768.0f);
            }
        }
        const auto frameSize = static_cast<size_t>(m_codec->frame_size);
        size_t consumed = 0;
        while (m_planes[0].size() - consumed >= frameSize) {
            if (!encodeFrom(consumed, frameSize)) {
                m_failed = true;
                return false;
            }
            consumed += frameSize;
        }
        for (auto& plane : m_planes) {
            plane.erase(plane.begin(), plane.begin() + static_cast<std::ptrdiff_t>(consumed));
        }
        return true;
    }

    bool finish() override
    {
        if (m_finished) {
            return false;
        }
        m_finished = true;
        bool ok = !m_failed;
        // The encoder takes a shorter last frame, so the file ends where the
        // audio ends.
        if (ok && !m_planes[0].empty()) {
            ok = encodeFrom(0, m_planes[0].size());
        }
        ok = ok && encode(nullptr);
        ok = ok && av_write_trailer(m_format) >= 0;
        ok = closeOutput() && ok;
        return ok;
    }

private:
    // Flushes and frees the I/O context; false when a write failed.
    bool closeOutput()
    {
        if (!m_format || !m_format->pb) {
            return true;
        }
        avio_flush(m_format->pb);
        const bool ok = m_format->pb->error >= 0;
        av_freep(&m_format->pb->buffer);
        avio_context_free(&m_format->pb);
        return ok;
    }

    bool encodeFrom(size_t offset, size_t count)
    {
        if (av_frame_make_writable(m_frame) < 0) {
            return false;
        }
        m_frame->nb_samples = static_cast<int>(count);
        for (size_t c = 0; c < m_planes.size(); ++c) {
            auto* out = reinterpret_cast<float*>(m_frame->extended_data[c]);
            std::copy_n(m_planes[c].begin() + static_cast<std::ptrdiff_t>(offset), count, out);
        }
        m_frame->pts = m_nextPts;
        m_nextPts += static_cast<std::int64_t>(count);
        return encode(m_frame);
    }

    // Sends a frame (null: the end) and writes every packet that is ready.
    bool encode(const AVFrame* frame)
    {
        if (avcodec_send_frame(m_codec, frame) < 0) {
            return false;
        }
        for (;;) {
            const int received = avcodec_receive_packet(m_codec, m_packet);
            if (received == kAgain || received == kEndOfFile) {
                return true;
            }
            if (received < 0) {
                return false;
            }
            av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
            m_packet->stream_index = m_stream->index;
            const int written = av_interleaved_write_frame(m_format, m_packet);
            av_packet_unref(m_packet);
            if (written < 0) {
                return false;
            }
        }
    }

    int m_fd = -1;
    int m_channels = 1;
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr; // owned by m_format
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    std::vector<std::vector<float>> m_planes; // samples waiting for a whole encoder frame, per channel
    std::int64_t m_nextPts = 0;
    bool m_failed = false;
    bool m_finished = false;
};

} // namespace

FfmpegAudioFileWriter::FfmpegAudioFileWriter()
{
    // Otherwise the encoder prints its statistics to stderr on close.
    av_log_set_level(AV_LOG_ERROR);
}

std::unique_ptr<AudioFileWriter::File> FfmpegAudioFileWriter::create(const std::string& path, const AudioFormat& format)
{
    // Created here, exclusively and private to the user, before FFmpeg opens
    // it: the recording is the user's voice.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return nullptr;
    }
    auto file = std::make_unique<FfmpegAudioFile>(fd);
    if (!file->open(format)) {
        file.reset();
        ::unlink(path.c_str());
        return nullptr;
    }
    return file;
}

} // namespace quillo
