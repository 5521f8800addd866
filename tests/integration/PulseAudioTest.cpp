// The audio platform against the test desktop's PulseAudio server: its
// "microphones" quillo_loopmic (the default) and quillo_loopmic2 replay what is
// played into the null sinks quillo_null and quillo_null2.

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "audio/AudioRecorder.h"
#include "audio/MicrophoneManager.h"
#include "base/NotificationCenter.h"
#include "fakes/FakePreferences.h"
#include "platform/linux/FfmpegAudioFileWriter.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioDevices.h"
#include "platform/linux/PulseConnection.h"
#include "platform/linux/PulseMicrophoneAccess.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/XdgPaths.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

// "go forward ten meters", 16 kHz mono s16le, about 2.8 s.
constexpr const char* kSpeech = "/usr/share/pocketsphinx/test/data/goforward.raw";
constexpr int kRate = 16000;

// Runs a command line of the test desktop (words split at spaces) and returns its output.
QByteArray run(const std::string& commandLine)
{
    QStringList words = QString::fromStdString(commandLine).split(QLatin1Char(' '));
    const QString program = words.takeFirst();
    return runTool(program, words);
}

std::string pactl(const std::string& arguments)
{
    return run("pactl " + arguments).trimmed().toStdString();
}

std::vector<std::int16_t> samplesOf(const QByteArray& bytes)
{
    std::vector<std::int16_t> samples(static_cast<size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

double rms(const std::vector<std::int16_t>& samples, size_t from, size_t to)
{
    to = std::min(to, samples.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return from < to ? std::sqrt(sum / double(to - from)) : 0;
}

// Seconds to the first 20 ms window far louder than the quiet room.
double speechOnset(const std::vector<std::int16_t>& samples)
{
    for (size_t i = 0; i + kRate / 50 <= samples.size(); i += kRate / 50) {
        if (rms(samples, i, i + kRate / 50) > 500) {
            return double(i) / kRate;
        }
    }
    return -1;
}

// The permission bits of `path`; 0 when it is missing.
unsigned permissions(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

// Plays the recorded speech into a null sink, so its loop microphone hears it.
bool say(const char* sink)
{
    QProcess player;
    player.start(QStringLiteral("pacat"),
                 QStringLiteral("--playback --raw --format=s16le --rate=16000 --channels=1 --device=%1 %2")
                     .arg(QLatin1String(sink), QLatin1String(kSpeech))
                     .split(QLatin1Char(' ')));
    return player.waitForFinished(15000) && player.exitCode() == 0;
}

class PulseAudioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("PULSE_SERVER")) << "run inside scripts/test-desktop.sh";
        pactl("set-default-source quillo_loopmic");
        notifications.addObserver("QuilloMicFallbackDidOccur", [this] { ++fallbacks; });
    }

    std::optional<std::string> stop(AudioRecorder& which)
    {
        std::optional<std::string> path;
        which.stopRecording([&](const std::optional<std::string>& p) { path = p; });
        return path;
    }

    std::shared_ptr<PulseConnection> connection = std::make_shared<PulseConnection>();
    PulseAudioDevices devices{connection};
    FakePreferences preferences;
    MicrophoneManager microphones{devices, preferences}; // whose choice the capture records, as in the program
    PulseAudioCapture capture{connection, [this] { return microphones.recordingSource(); }};
    FfmpegAudioFileWriter writer;
    PosixFileSystem disk;
    SystemClock clock;
    NotificationCenter notifications;
    AudioRecorder recorder{{microphones, capture, writer, notifications, clock, disk, xdg::recordingsDirectory(), {}}};
    int fallbacks = 0;
};

// Each recording plays the speech only where the microphone that should
// record it hears it.
TEST_F(PulseAudioTest, RecordsTheChosenMicrophoneAsAacAndFallsBackWhileItIsUnplugged)
{
    const std::string module = pactl("load-module module-remap-source source_name=quillo_unplugged "
                                     "master=quillo_null2.monitor channels=1");
    ASSERT_FALSE(module.empty());
    microphones.setSelectedUID("quillo_unplugged");
    QFile raw(QString::fromLatin1(kSpeech));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const auto original = samplesOf(raw.readAll());

    for (const bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "unplugged" : "plugged in");
        if (unplugged) {
            pactl("unload-module " + module);
        }
        const auto asked = std::chrono::steady_clock::now();
        recorder.startRecording();
        // The capture runs from here at the latest; a loaded machine only makes
        // the file start earlier than this, never later.
        const auto recording = std::chrono::steady_clock::now();
        const auto since = [](auto from) { return Seconds(std::chrono::steady_clock::now() - from).count(); };
        EXPECT_EQ(pactl("get-default-source"), "quillo_loopmic") << "the desktop's default input is left alone";
        EXPECT_EQ(fallbacks, unplugged ? 1 : 0);
        std::this_thread::sleep_until(recording + 500ms);
        const double speechSent = since(recording);
        ASSERT_TRUE(say(unplugged ? "quillo_null" : "quillo_null2"));
        std::this_thread::sleep_for(300ms);
        const double stopping = since(recording);
        const auto path = stop(recorder);
        const double recorded = since(asked);
        ASSERT_TRUE(path) << "the recording goes ahead in either case";

        EXPECT_EQ(permissions(*path), 0600u) << "the recording is the user's voice";
        const QList<QByteArray> probe =
            run("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration -of csv=p=0 " +
                *path)
                .split('\n');
        EXPECT_EQ(probe.value(0).toStdString(), "aac,16000,1");
        EXPECT_GT(probe.value(1).toDouble(), stopping - 0.2) << "audio lost";
        EXPECT_LT(probe.value(1).toDouble(), recorded + 0.2);
        // Decoded by FFmpeg's command-line tool, independent of the writer's own use of the libraries.
        const auto samples = samplesOf(run("ffmpeg -v error -i " + *path + " -f s16le -"));
        // The speech cannot be heard before it was sent; earlier in the file
        // means the start of the recording was cut off. A slow player only
        // pushes it later, so that is measured, not bounded.
        const double onset = speechOnset(samples);
        EXPECT_GT(onset, speechSent + speechOnset(original) - 0.1) << "the start of the recording was cut off";
        EXPECT_LT(rms(samples, 0, size_t((speechSent - 0.1) * kRate)), 50) << "silence is silent";
        const size_t speechFrom = size_t((onset - speechOnset(original)) * kRate);
        EXPECT_GT(rms(samples, speechFrom, speechFrom + original.size()), rms(original, 0, original.size()) / 3)
            << "the speech is audible in the file";
        std::remove(path->c_str());
    }
    EXPECT_EQ(microphones.selectedUID(), "quillo_unplugged") << "the choice survives the absence";
    EXPECT_EQ(permissions(xdg::recordingsDirectory()), 0700u);
}

TEST_F(PulseAudioTest, AbsentOrHungServerFailsCleanlyWithinTheTimeout)
{
    QTemporaryDir dir;
    QLocalServer hung; // accepts connections and never says a word
    ASSERT_TRUE(hung.listen(dir.filePath(QStringLiteral("hung"))));
    for (const QString& socket : {QStringLiteral("absent"), QStringLiteral("hung")}) {
        const std::string name = socket.toStdString();
        const PulseConnection::Options options{"unix:" + dir.filePath(socket).toStdString(), 300ms};
        const auto began = std::chrono::steady_clock::now();
        auto dead = std::make_shared<PulseConnection>(options);
        PulseAudioDevices deadDevices(dead);
        PulseAudioCapture deadCapture(dead);
        EXPECT_TRUE(deadDevices.inputDevices().empty()) << name;
        EXPECT_FALSE(deadDevices.defaultInputID()) << name;

        preferences.setObject("selectedMicUID", "quillo_loopmic2");
        MicrophoneManager manager(deadDevices, preferences);
        AudioRecorder deadRecorder(
            {manager, deadCapture, writer, notifications, clock, disk, dir.path().toStdString(), {}});
        deadRecorder.startRecording();
        EXPECT_EQ(stop(deadRecorder), std::nullopt) << name;
        EXPECT_FALSE(PulseMicrophoneAccess::serverReachable(options)) << name;
        // One timeout for the shared connection, then calls fail at once; one
        // more for the probe's own connection. Seven calls waiting in turn
        // would take 2.1 s.
        EXPECT_LT(Seconds(std::chrono::steady_clock::now() - began).count(), 1.5) << name << ": no call hangs";
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("clip_*")}).size(), 0) << name;
    }
    EXPECT_TRUE(PulseMicrophoneAccess::serverReachable({})) << "the test desktop's own server";
}

} // namespace
} // namespace quillo::test
