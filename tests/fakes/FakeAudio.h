#pragma once

// Fakes of the audio interfaces.

#include <algorithm>
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

    // The device disappears from the server (the manager's cache keeps it).
    void unplug(const std::string& uid)
    {
        std::erase_if(devices, [&](const MicDevice& d) { return d.uid == uid; });
    }

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
        auto& state = *streams.back();
        if (!state.stopped) {
            state.sink(samples);
        }
    }

    bool failStart = false;
    std::vector<std::shared_ptr<StreamState>> streams;

private:
    class FakeStream final : public Stream
    {
    public:
        explicit FakeStream(std::shared_ptr<StreamState> state) : m_state(std::move(state)) {}
        ~FakeStream() override { stop(); }
        void stop() override
        {
            if (std::exchange(m_state->stopped, true)) {
                return;
            }
            if (!m_state->lastBlock.empty()) {
                m_state->sink(m_state->lastBlock);
            }
        }

    private:
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
    class FakeFile final : public File
    {
    public:
        FakeFile(FakeAudioFileWriter& writer, std::shared_ptr<Written> written)
            : m_writer(writer), m_written(std::move(written))
        {}
        bool append(std::span<const std::int16_t> samples) override
        {
            if (m_finished) {
                return false;
            }
            m_written->samples.insert(m_written->samples.end(), samples.begin(), samples.end());
            return true;
        }
        bool finish() override
        {
            m_finished = true;
            if (m_writer.failFinish) {
                return false;
            }
            m_writer.m_disk.put(m_written->path, "m4a", 0600);
            return true;
        }

    private:
        FakeAudioFileWriter& m_writer;
        std::shared_ptr<Written> m_written;
        bool m_finished = false;
    };

    FakeFileSystem& m_disk;
};

} // namespace quillo::test
