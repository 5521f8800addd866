#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/AudioRecorder.h"
#include "audio/MicrophoneManager.h"
#include "base/NotificationCenter.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kDirectory = "/run/user/1000/quillo";

class AudioRecorderTest : public ::testing::Test
{
protected:
    // `seconds` of a square wave at `amplitude`, as the capture would deliver it.
    static std::vector<std::int16_t> sound(double seconds, std::int16_t amplitude)
    {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 16000));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = (i / 20) % 2 ? amplitude : static_cast<std::int16_t>(-amplitude);
        }
        return samples;
    }

    // Stops and returns what the completion reported, checking it ran exactly
    // once. Unless told otherwise, half a second of speech is captured first.
    std::optional<std::string> stop(bool speak = true)
    {
        if (speak && !capture.streams.empty() && !capture.streams.back()->stopped) {
            capture.deliver(sound(0.5, 3000));
        }
        int calls = 0;
        std::optional<std::string> reported;
        recorder->stopRecording([&](const std::optional<std::string>& path) {
            ++calls;
            reported = path;
        });
        EXPECT_EQ(calls, 1) << "the completion runs once, before stopRecording returns";
        return reported;
    }

    FakeAudioDevices audio;
    FakePreferences preferences;
    FakeFileSystem disk;
    FakeAudioCapture capture{audio};
    FakeAudioFileWriter writer{disk};
    NotificationCenter notifications;
    FakeClock clock;
    std::vector<std::string> problems; // told to the user
    MicrophoneManager microphones{audio, preferences};
    std::unique_ptr<AudioRecorder> recorder = make(disk);

    std::unique_ptr<AudioRecorder> make(FileSystem& files)
    {
        return std::make_unique<AudioRecorder>(
            AudioRecorder::Dependencies{microphones,
                                        capture,
                                        writer,
                                        notifications,
                                        clock,
                                        files,
                                        kDirectory,
                                        [this](const std::string& problem) { problems.push_back(problem); }});
    }
};

TEST_F(AudioRecorderTest, RecordsCapturedAudioIntoAFileOfItsOwnAndReportsIt)
{
    clock.setNow(std::chrono::system_clock::time_point(1765000000123456us));
    recorder->startRecording();
    ASSERT_TRUE(recorder->isRecording());
    EXPECT_EQ(disk.directoryMode(kDirectory), 0700u);
    ASSERT_EQ(capture.streams.size(), 1u);
    EXPECT_EQ(capture.streams[0]->format, (AudioFormat{16000, 1}));

    capture.deliver({1, 2, 3});
    capture.deliver({4, 5});
    capture.streams[0]->lastBlock = {6};
    EXPECT_EQ(stop(), std::string(kDirectory) + "/clip_1765000000.123456.m4a");
    ASSERT_EQ(writer.files.size(), 1u);
    const auto& samples = writer.files[0]->samples;
    ASSERT_EQ(samples.size(), 5u + 8000u + 1u);
    EXPECT_EQ(std::vector<std::int16_t>(samples.begin(), samples.begin() + 5),
              (std::vector<std::int16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(samples.back(), 6) << "the capture must stop, handing over its last block, before the file is finished";

    recorder->startRecording(); // in the same instant
    const auto second = stop();
    ASSERT_TRUE(second);
    EXPECT_NE(*second, writer.files[0]->path);
    EXPECT_TRUE(disk.exists(writer.files[0]->path)) << "the first file is untouched";
}

TEST_F(AudioRecorderTest, EveryFailureOrCancelReportsNoFileAndLeavesNothingOnDisk)
{
    EXPECT_EQ(stop(), std::nullopt) << "stop without start";

    for (bool* failure : {&writer.failCreate, &capture.failStart, &writer.failFinish}) {
        *failure = true;
        problems.clear();
        recorder->startRecording();
        EXPECT_EQ(stop(), std::nullopt);
        EXPECT_TRUE(disk.paths().empty()) << "nothing is left on disk";
        EXPECT_EQ(problems.size(), 1u) << "the user is told";
        *failure = false;
    }
    problems.clear();
    recorder->startRecording();
    capture.deliver({1, 2, 3});
    recorder->cancelRecording();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(disk.paths().empty()) << "a cancelled recording is deleted";

    clock.advance(1s);
    recorder->startRecording();
    EXPECT_TRUE(stop().has_value()) << "the next recording works";
    EXPECT_TRUE(problems.empty()) << "a cancel is no problem";

    FakeFileSystem shared;
    shared.createDirectories(kDirectory, 0777); // made by someone else, open to all
    const auto refused = make(shared);
    refused->startRecording();
    EXPECT_FALSE(refused->isRecording());
    EXPECT_EQ(problems.size(), 1u);
}

TEST_F(AudioRecorderTest, ARecordingWithoutSpeechYieldsNoFileAndLeavesNothingBehind)
{
    recorder->startRecording();
    capture.deliver(sound(0.25, 8000));
    EXPECT_EQ(stop(false), std::nullopt) << "a tap of the key, however loud";
    EXPECT_TRUE(disk.paths().empty());

    clock.advance(1s);
    recorder->startRecording();
    capture.deliver(sound(0.4, 300));
    EXPECT_TRUE(stop(false).has_value()) << "quiet speech";
}

TEST_F(AudioRecorderTest, StartingAgainOrQuittingAbandonsTheRunningRecording)
{
    recorder->startRecording();
    const std::string abandoned = writer.files[0]->path;
    clock.advance(100ms);
    recorder->startRecording();
    EXPECT_TRUE(capture.streams[0]->stopped) << "the first capture ends";
    EXPECT_FALSE(disk.exists(abandoned)) << "nobody would ever delete the abandoned file";
    EXPECT_EQ(stop(), writer.files[1]->path);

    recorder->startRecording();
    const std::string running = writer.files[2]->path;
    recorder.reset();
    EXPECT_TRUE(capture.streams[2]->stopped);
    EXPECT_FALSE(disk.exists(running)) << "quitting mid-recording leaves nothing behind";
}

} // namespace
} // namespace quillo::test
