#include "platform/linux/FfmpegAudioDecoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace quillo {

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
constexpr int kAgain = AVERROR(EAGAIN);
constexpr int kEndOfFile = AVERROR_EOF;
#pragma GCC diagnostic pop

constexpr int kIoBufferSize = 64 * 1024;

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error("The recording could not be decoded (" + what + ").");
}

// The recording in memory, read through FFmpeg's I/O callbacks. MPEG-4 files
// keep their index at the end, so the demuxer needs to seek.
struct MemoryInput
{
    const std::string& data;
    std::int64_t position = 0;

    static int read(void* opaque, std::uint8_t* buffer, int size)
    {
        auto* self = static_cast<MemoryInput*>(opaque);
        const auto left = static_cast<std::int64_t>(self->data.size()) - self->position;
        if (left <= 0) {
            return kEndOfFile;
        }
        const auto count = static_cast<int>(std::min<std::int64_t>(left, size));
        std::memcpy(buffer, self->data.data() + self->position, static_cast<std::size_t>(count));
        self->position += count;
        return count;
    }

    static std::int64_t seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* self = static_cast<MemoryInput*>(opaque);
        const auto size = static_cast<std::int64_t>(self->data.size());
        std::int64_t target = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = self->position + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return -1;
        }
        if (target < 0 || target > size) {
            return -1;
        }
        self->position = target;
        return target;
    }
};

struct Demuxer
{
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;

    ~Demuxer()
    {
        avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }
};

struct Decoding
{
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;

    ~Decoding()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
    }
};

void appendConverted(SwrContext* resampler,
                     const std::uint8_t** input,
                     int inputSamples,
                     std::vector<std::int16_t>& out)
{
    const int room = swr_get_out_samples(resampler, inputSamples);
    if (room < 0) {
        fail("resampling");
    }
    const std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(room));
    auto* target = reinterpret_cast<std::uint8_t*>(out.data() + before);
    const int converted = swr_convert(resampler, &target, room, input, inputSamples);
    if (converted < 0) {
        fail("resampling");
    }
    out.resize(before + static_cast<std::size_t>(converted));
}

} // namespace

FfmpegAudioDecoder::FfmpegAudioDecoder()
{
    av_log_set_level(AV_LOG_ERROR);
}

std::vector<std::int16_t> FfmpegAudioDecoder::decodeMono(const std::string& data, int sampleRate)
{
    if (data.empty()) {
        fail("the file is empty");
    }
    MemoryInput input{data};
    Demuxer demuxer;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    demuxer.io =
        buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, &input, &MemoryInput::read, nullptr, &MemoryInput::seek)
               : nullptr;
    if (!demuxer.io) {
        av_free(buffer);
        fail("out of memory");
    }
    demuxer.format = avformat_alloc_context();
    if (!demuxer.format) {
        fail("out of memory");
    }
    demuxer.format->pb = demuxer.io;
    // On failure avformat_open_input frees the context and nulls the pointer.
    if (avformat_open_input(&demuxer.format, nullptr, nullptr, nullptr) < 0) {
        fail("not an audio file FFmpeg knows");
    }
    if (avformat_find_stream_info(demuxer.format, nullptr) < 0) {
        fail("no stream information");
    }
    const AVCodec* codec = nullptr;
    const int streamIndex = av_find_best_stream(demuxer.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex < 0 || !codec) {
        fail("no audio stream");
    }

    Decoding decoding;
    decoding.codec = avcodec_alloc_context3(codec);
    decoding.packet = av_packet_alloc();
    decoding.frame = av_frame_alloc();
    if (!decoding.codec || !decoding.packet || !decoding.frame) {
        fail("out of memory");
    }
    if (avcodec_parameters_to_context(decoding.codec, demuxer.format->streams[streamIndex]->codecpar) < 0 ||
        avcodec_open2(decoding.codec, codec, nullptr) < 0) {
        fail("no decoder for its audio");
    }
    if (decoding.codec->ch_layout.nb_channels <= 0) {
        av_channel_layout_default(&decoding.codec->ch_layout, 1);
    }
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (swr_alloc_set_opts2(&decoding.resampler,
                            &mono,
                            AV_SAMPLE_FMT_S16,
                            sampleRate,
                            &decoding.codec->ch_layout,
                            decoding.codec->sample_fmt,
                            decoding.codec->sample_rate,
                            0,
                            nullptr) < 0 ||
        swr_init(decoding.resampler) < 0) {
        fail("resampling");
    }

    std::vector<std::int16_t> samples;
    const auto receiveFrames = [&] {
        for (;;) {
            const int received = avcodec_receive_frame(decoding.codec, decoding.frame);
            if (received == kAgain || received == kEndOfFile) {
                return;
            }
            if (received < 0) {
                fail("corrupt audio");
            }
            appendConverted(decoding.resampler,
                            const_cast<const std::uint8_t**>(decoding.frame->extended_data),
                            decoding.frame->nb_samples,
                            samples);
            av_frame_unref(decoding.frame);
        }
    };

    while (av_read_frame(demuxer.format, decoding.packet) >= 0) {
        if (decoding.packet->stream_index == streamIndex) {
            const int sent = avcodec_send_packet(decoding.codec, decoding.packet);
            av_packet_unref(decoding.packet);
            // A damaged packet loses a few milliseconds, not the dictation.
            if (sent < 0 && sent != kAgain) {
                continue;
            }
            receiveFrames();
        } else {
            av_packet_unref(decoding.packet);
        }
    }
    avcodec_send_packet(decoding.codec, nullptr);
    receiveFrames();
    appendConverted(decoding.resampler, nullptr, 0, samples); // what the resampler still holds
    return samples;
}

} // namespace quillo
