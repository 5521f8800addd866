#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/NotificationCenter.h"
#include "audio/AudioRecorder.h"
#include "audio/MicrophoneManager.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

const MicDevice kBuiltIn{"builtin", "builtin", "Built-in Microphone", 0};
const MicDevice kDesk{"usb-desk", "usb-desk", "Desk Mic", 4};
constexpr const char* kDirectory = "/run/user/1000/quillo";

class AudioRecorderTest : public ::testing::Test
{
protected:
    AudioRecorderTest()
    {
        audio.devices = {kBuiltIn, kDesk};
        audio.defaultID = kBuiltIn.deviceID;
        notifications.addObserver("QuilloMicFallbackDidOccur", [this] { ++fallbacks; });
    }

    // Built on first use, so a test can set up the devices and the choice first.
    AudioRecorder& recorder()
    {
        if (!m_recorder) {
            microphones = std::make_unique<MicrophoneManager>(audio, preferences);
            m_recorder = std::make_unique<AudioRecorder>(
                AudioRecorder::Dependencies{*microphones, capture, writer, notifications, clock, disk, kDirectory});
        }
        return *m_recorder;
    }

    // Stops and returns what the completion reported, checking it ran exactly once.
    std::optional<std::string> stop()
    {
        int calls = 0;
        std::optional<std::string> reported;
        recorder().stopRecording([&](const std::optional<std::string>& path) {
            ++calls;
            reported = path;
        });
        EXPECT_EQ(calls, 1) << "the completion runs once, before stopRecording returns";
        return reported;
    }

    AudioEvents events;
    FakeAudioDevices audio;
    FakePreferences preferences;
    FakeFileSystem disk;
    FakeAudioCapture capture{audio, &events};
    FakeAudioFileWriter writer{disk, &events};
    NotificationCenter notifications;
    FakeClock clock;
    int fallbacks = 0;
    std::unique_ptr<MicrophoneManager> microphones;

    void destroyRecorder() { m_recorder.reset(); }

private:
    std::unique_ptr<AudioRecorder> m_recorder;
};

TEST_F(AudioRecorderTest, RecordsCapturedAudioIntoAFinishedFileAndReportsIt)
{
    clock.setNow(std::chrono::system_clock::time_point(1765000000123456us));
    recorder().startRecording();
    ASSERT_TRUE(recorder().isRecording());
    EXPECT_EQ(disk.directoryMode(kDirectory), 0700u);
    ASSERT_EQ(capture.streams.size(), 1u);
    EXPECT_EQ(capture.streams[0]->format, (AudioFormat{16000, 1}));

    capture.deliver({1, 2, 3});
    capture.deliver({4, 5});
    capture.lastBlockAtStop.clear();
    capture.streams[0]->lastBlock = {6};
    const auto path = stop();

    EXPECT_EQ(path, std::string(kDirectory) + "/clip_1765000000.123456.m4a");
    ASSERT_EQ(writer.files.size(), 1u);
    EXPECT_EQ(writer.files[0]->samples, (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6}))
        << "the block the capture hands over while stopping belongs to the file";
    EXPECT_TRUE(writer.files[0]->finished);
    EXPECT_EQ(events, (AudioEvents{"capture.start", "capture.stop", "file.finish"}))
        << "the capture stops before the file is completed";
    EXPECT_FALSE(recorder().isRecording());
    EXPECT_EQ(fallbacks, 0);
}

TEST_F(AudioRecorderTest, ChosenMicrophoneOrFallbackForEachChoice)
{
    struct Case
    {
        const char* name;
        std::string chosen;
        bool failSwitching;
        std::uint32_t recordedFrom;
        int fallbacks;
    };
    const Case cases[] = {
        {"automatic", "", false, kBuiltIn.deviceID, 0},
        {"chosen and present", kDesk.uid, false, kDesk.deviceID, 0},
        {"chosen but missing", "usb-unplugged", false, kBuiltIn.deviceID, 1},
        {"chosen but the switch fails", kDesk.uid, true, kBuiltIn.deviceID, 1},
    };
    for (const auto& c : cases) {
        FakeAudioDevices server;
        server.devices = {kBuiltIn, kDesk};
        server.defaultID = kBuiltIn.deviceID;
        server.failSwitching = c.failSwitching;
        FakePreferences prefs;
        prefs.setObject("selectedMicUID", c.chosen);
        MicrophoneManager manager(server, prefs);
        FakeAudioCapture cap(server);
        FakeFileSystem fs;
        FakeAudioFileWriter files(fs);
        NotificationCenter center;
        int posted = 0;
        center.addObserver("QuilloMicFallbackDidOccur", [&] { ++posted; });
        AudioRecorder rec({manager, cap, files, center, clock, fs, kDirectory});

        rec.startRecording();
        EXPECT_EQ(posted, c.fallbacks) << c.name;
        ASSERT_EQ(cap.streams.size(), 1u) << c.name << ": recording goes ahead in every case";
        EXPECT_EQ(cap.streams[0]->inputAtStart, c.recordedFrom) << c.name;

        std::optional<std::string> reported;
        rec.stopRecording([&](const std::optional<std::string>& path) { reported = path; });
        EXPECT_TRUE(reported.has_value()) << c.name;
        EXPECT_EQ(server.defaultID, kBuiltIn.deviceID) << c.name << ": the default is back after the recording";
    }
}

TEST_F(AudioRecorderTest, RecorderThatCannotStartFailsSilentlyAndReportsNoFile)
{
    struct Case
    {
        const char* name;
        bool writerFails;
        bool captureFails;
        bool finishFails;
    };
    const Case cases[] = {
        {"file cannot be created", true, false, false},
        {"no audio server or input", false, true, false},
        {"file cannot be completed", false, false, true},
    };
    for (const auto& c : cases) {
        writer.failCreate = c.writerFails;
        capture.failStart = c.captureFails;
        writer.failFinish = c.finishFails;
        preferences.setObject("selectedMicUID", kDesk.uid);

        recorder().startRecording();
        EXPECT_EQ(stop(), std::nullopt) << c.name;
        EXPECT_TRUE(disk.paths().empty()) << c.name << ": nothing is left on disk";
        EXPECT_EQ(audio.defaultID, kBuiltIn.deviceID) << c.name << ": the default input is restored";
        EXPECT_EQ(fallbacks, 0) << c.name;

        writer.failCreate = capture.failStart = writer.failFinish = false;
        clock.advance(1s);
        recorder().startRecording();
        EXPECT_TRUE(stop().has_value()) << c.name << ": the next recording works";
        for (const auto& path : disk.paths()) {
            disk.removeFile(path);
        }
    }
}

TEST_F(AudioRecorderTest, StopWithoutStartReportsNothingAndRestoresNothing)
{
    preferences.setObject("selectedMicUID", kDesk.uid);
    EXPECT_EQ(stop(), std::nullopt);
    EXPECT_TRUE(audio.switches.empty());

    recorder().startRecording();
    EXPECT_TRUE(stop().has_value());
    const auto switches = audio.switches.size();
    EXPECT_EQ(stop(), std::nullopt) << "a second stop has nothing to report";
    EXPECT_EQ(audio.switches.size(), switches) << "and nothing to restore";
}

TEST_F(AudioRecorderTest, EveryRecordingGetsItsOwnFile)
{
    struct Case
    {
        const char* name;
        std::chrono::microseconds between;
    };
    const Case cases[] = {{"a quarter second apart", 250ms}, {"a microsecond apart", 1us}, {"the same instant", 0us}};
    for (const auto& c : cases) {
        recorder().startRecording();
        const auto first = stop();
        clock.advance(c.between);
        recorder().startRecording();
        const auto second = stop();
        ASSERT_TRUE(first && second) << c.name;
        EXPECT_NE(*first, *second) << c.name;
        EXPECT_TRUE(disk.exists(*first) && disk.exists(*second)) << c.name << ": the first file is untouched";
        clock.advance(1s);
    }
}

TEST_F(AudioRecorderTest, FileNameIsTheTimeInItsShortestExactDecimal)
{
    const double times[] = {1765000000.123456, 1772442000.0, 1772442000.5, 1765000000.000001};
    const char* names[] = {"clip_1765000000.123456.m4a",
                           "clip_1772442000.m4a",
                           "clip_1772442000.5.m4a",
                           "clip_1765000000.000001.m4a"};
    for (size_t i = 0; i < std::size(times); ++i) {
        const std::string name = AudioRecorder::fileNameFor(times[i]);
        EXPECT_EQ(name, names[i]);
        const std::string digits = name.substr(5, name.size() - 9);
        double parsed = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
        EXPECT_EQ(parsed, times[i]) << name << " reads back as the same time";
    }
}

TEST_F(AudioRecorderTest, StartingAgainOrQuittingAbandonsTheRunningRecording)
{
    recorder().startRecording();
    const std::string abandoned = writer.files[0]->path;
    clock.advance(100ms);
    recorder().startRecording();
    EXPECT_TRUE(capture.streams[0]->stopped) << "the first capture ends";
    EXPECT_FALSE(disk.exists(abandoned)) << "nobody would ever delete the abandoned file";
    EXPECT_EQ(stop(), writer.files[1]->path);

    preferences.setObject("selectedMicUID", kDesk.uid);
    recorder().startRecording();
    EXPECT_EQ(audio.defaultID, kDesk.deviceID);
    const std::string running = writer.files[2]->path;
    destroyRecorder();
    EXPECT_TRUE(capture.streams[2]->stopped);
    EXPECT_FALSE(disk.exists(running));
    EXPECT_EQ(audio.defaultID, kBuiltIn.deviceID) << "quitting mid-recording leaves the user's default as it was";
}

} // namespace
} // namespace quillo::test
