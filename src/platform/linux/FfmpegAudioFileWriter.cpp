#include "platform/linux/FfmpegAudioFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <fcntl.h>
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

class FfmpegAudioFile final : public AudioFileWriter::File
{
public:
    explicit FfmpegAudioFile(std::string path) : m_path(std::move(path)) {}

    ~FfmpegAudioFile() override
    {
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        if (m_format) {
            avio_closep(&m_format->pb);
            avformat_free_context(m_format);
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
        if (avformat_alloc_output_context2(&m_format, nullptr, "ipod", m_path.c_str()) < 0 || !m_format) {
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

        // The file already exists with the right mode; opening it for writing
        // keeps that mode.
        if (avio_open(&m_format->pb, m_path.c_str(), AVIO_FLAG_WRITE) < 0 ||
            avformat_write_header(m_format, nullptr) < 0) {
            return false;
        }
        return true;
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
        ok = avio_closep(&m_format->pb) >= 0 && ok;
        return ok;
    }

private:
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

    std::string m_path;
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    ::close(fd);
    auto file = std::make_unique<FfmpegAudioFile>(path);
    if (!file->open(format)) {
        file.reset();
        ::unlink(path.c_str());
        return nullptr;
    }
    return file;
}

} // namespace quillo
