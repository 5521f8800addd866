#pragma once

// Fakes of the audio interfaces.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "platform/AudioCapture.h"
#include "platform/AudioDevices.h"
#include "platform/AudioFileWriter.h"

namespace quillo::test {

// An audio server's device list and default input, which Quillo never changes.
class FakeAudioDevices final : public AudioDevices
{
public:
    std::vector<MicDevice> inputDevices() override { return devices; }
    std::optional<std::uint32_t> defaultInputID() override { return defaultID; }

    std::vector<MicDevice> devices;
    std::optional<std::uint32_t> defaultID;
};

// Capture that delivers only what the test hands it, on the test's thread.
class FakeAudioCapture final : public AudioCapture
{
public:
    struct StreamState
    {
        AudioFormat format;
        Sink sink;
        std::optional<std::uint32_t> inputAtStart; // the default input when the capture began
        std::vector<std::int16_t> lastBlock;       // handed to the sink by stop()
        bool stopped = false;
    };

    explicit FakeAudioCapture(FakeAudioDevices& devices) : m_devices(devices) {}

    std::unique_ptr<Stream> start(const AudioFormat& format, Sink sink) override
    {
        if (failStart) {
            return nullptr;
        }
        streams.push_back(
            std::make_shared<StreamState>(StreamState{format, std::move(sink), m_devices.defaultID, {}, false}));
        return std::make_unique<FakeStream>(streams.back());
    }

    // Hands samples to the newest stream, as its capture thread would.
    void deliver(std::vector<std::int16_t> samples)
    {
        if (!streams.back()->stopped) {
            streams.back()->sink(samples);
        }
    }

    bool failStart = false;
    std::vector<std::shared_ptr<StreamState>> streams;

private:
    struct FakeStream final : Stream
    {
        explicit FakeStream(std::shared_ptr<StreamState> state) : m_state(std::move(state)) {}
        ~FakeStream() override { stop(); }
        void stop() override
        {
            if (!std::exchange(m_state->stopped, true) && !m_state->lastBlock.empty()) {
                m_state->sink(m_state->lastBlock);
            }
        }
        std::shared_ptr<StreamState> m_state;
    };

    FakeAudioDevices& m_devices;
};

// Keeps each file's samples in memory and its existence on a FakeFileSystem;
// samples appended after finish() are refused, as by a closed file.
class FakeAudioFileWriter final : public AudioFileWriter
{
public:
    struct Written
    {
        std::string path;
        std::vector<std::int16_t> samples;
        bool finished = false;
    };

    explicit FakeAudioFileWriter(FakeFileSystem& disk) : m_disk(disk) {}

    std::unique_ptr<File> create(const std::string& path, const AudioFormat&) override
    {
        if (failCreate || m_disk.exists(path)) {
            return nullptr;
        }
        m_disk.put(path, "", 0600);
        files.push_back(std::make_shared<Written>(Written{path, {}}));
        return std::make_unique<FakeFile>(*this, files.back());
    }

    bool failCreate = false;
    bool failFinish = false;
    std::vector<std::shared_ptr<Written>> files;

private:
    struct FakeFile final : File
    {
        FakeFile(FakeAudioFileWriter& writer, std::shared_ptr<Written> written)
            : m_writer(writer), m_file(std::move(written))
        {}
        bool append(std::span<const std::int16_t> samples) override
        {
            if (!m_file->finished) {
                m_file->samples.insert(m_file->samples.end(), samples.begin(), samples.end());
            }
            return !m_file->finished;
        }
        bool finish() override
        {
            m_file->finished = true;
            if (!m_writer.failFinish) {
                m_writer.m_disk.put(m_file->path, "m4a", 0600);
            }
            return !m_writer.failFinish;
        }
        FakeAudioFileWriter& m_writer;
        std::shared_ptr<Written> m_file;
    };

    FakeFileSystem& m_disk;
};

} // namespace quillo::test
