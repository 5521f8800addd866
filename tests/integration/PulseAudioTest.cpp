// The audio platform against the test desktop's PulseAudio server: its
// "microphones" quillo_loopmic (the default) and quillo_loopmic2 replay what is
// played into the null sinks quillo_null and quillo_null2.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

std::vector<std::int16_t> readSamples(const QByteArray& bytes)
{
    std::vector<std::int16_t> samples(static_cast<size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

double rms(const std::vector<std::int16_t>& samples, size_t from, size_t to)
{
    to = std::min(to, samples.size());
    if (from >= to) {
        return 0;
    }
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return std::sqrt(sum / double(to - from));
}

// Seconds to the first 20 ms window louder than a tenth of the loudest one.
double speechOnset(const std::vector<std::int16_t>& samples)
{
    const size_t window = kRate / 50;
    double loudest = 0;
    for (size_t i = 0; i + window <= samples.size(); i += window) {
        loudest = std::max(loudest, rms(samples, i, i + window));
    }
    for (size_t i = 0; i + window <= samples.size(); i += window) {
        if (rms(samples, i, i + window) > loudest / 10) {
            return double(i) / kRate;
        }
    }
    return -1;
}

struct Decoded
{
    std::string codec;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
    std::vector<std::int16_t> samples; // as decoded, at the file's own rate
};

// FFmpeg's command-line tools, independent of the writer's own use of the libraries.
Decoded decode(const std::string& path)
{
    Decoded result;
    const auto probe = nlohmann::json::parse(
        run("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration -of json " + path),
        nullptr,
        false);
    if (probe.is_discarded() || probe["streams"].empty()) {
        return result;
    }
    const auto& stream = probe["streams"][0];
    result.codec = stream.value("codec_name", "");
    result.sampleRate = std::stoi(stream.value("sample_rate", "0"));
    result.channels = stream.value("channels", 0);
    result.duration = std::stod(probe["format"].value("duration", "0"));
    result.samples = readSamples(run("ffmpeg -v error -i " + path + " -f s16le -"));
    return result;
}

// Plays the recorded speech into a null sink, so its loop microphone hears it.
// The player connects first and is fed on say(), so its own start-up is not
// part of when the speech begins.
class Speech
{
public:
    explicit Speech(const char* sink)
    {
        m_player.start(QStringLiteral("pacat"),
                       QStringLiteral("--playback --raw --format=s16le --rate=16000 --channels=1 --latency-msec=20 "
                                      "--device=%1")
                           .arg(QLatin1String(sink))
                           .split(QLatin1Char(' ')));
        m_player.waitForStarted();
        QFile speech(QString::fromLatin1(kSpeech));
        speech.open(QIODevice::ReadOnly);
        m_speech = speech.readAll();
    }
    ~Speech() { finish(); }
    void say()
    {
        m_player.write(m_speech);
        m_player.closeWriteChannel();
    }
    // Waits until the speech has been played out.
    bool finish()
    {
        if (m_player.state() == QProcess::NotRunning) {
            return m_player.exitCode() == 0;
        }
        return m_player.waitForFinished(15000) && m_player.exitCode() == 0;
    }

private:
    QProcess m_player;
    QByteArray m_speech;
};

class PulseAudioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("PULSE_SERVER")) << "run inside scripts/test-desktop.sh";
        pactl("set-default-source quillo_loopmic");
        notifications.addObserver("QuilloMicFallbackDidOccur", [this] { ++fallbacks; });
    }

    AudioRecorder::Dependencies recorderParts(MicrophoneManager& manager)
    {
        return {manager, capture, writer, notifications, clock, disk, xdg::recordingsDirectory(), {}};
    }

    std::optional<std::string> stop(AudioRecorder& recorder)
    {
        std::optional<std::string> path;
        recorder.stopRecording([&](const std::optional<std::string>& p) { path = p; });
        return path;
    }

    std::shared_ptr<PulseConnection> connection = std::make_shared<PulseConnection>();
    PulseAudioDevices devices{connection};
    MicrophoneManager* microphones = nullptr; // whose choice the capture records, as in the program
    PulseAudioCapture capture{connection, [this] { return microphones ? microphones->recordingSource() : ""; }};
    FfmpegAudioFileWriter writer;
    PosixFileSystem disk;
    SystemClock clock;
    NotificationCenter notifications;
    FakePreferences preferences;
    int fallbacks = 0;
};

TEST_F(PulseAudioTest, InputsAreTheSourcesThatAreNotMonitorsInServerOrder)
{
    const auto listed = nlohmann::json::parse(pactl("-f json list sources"));
    std::vector<MicDevice> expected;
    for (const auto& source : listed) {
        if (source["monitor_source"].get<std::string>().empty()) {
            const std::string name = source["name"];
            expected.push_back({name, name, source["description"], source["index"].get<std::uint32_t>()});
        }
    }
    ASSERT_GE(expected.size(), 2u) << "the test desktop has two loop microphones";
    EXPECT_EQ(devices.inputDevices(), expected);

    const auto loopmic2 =
        std::find_if(expected.begin(), expected.end(), [](auto& d) { return d.uid == "quillo_loopmic2"; });
    ASSERT_NE(loopmic2, expected.end());
    EXPECT_EQ(loopmic2->name, "Quillo_Test_Microphone_2");

    const auto first = devices.defaultInputID();
    ASSERT_TRUE(first);
    EXPECT_TRUE(devices.setDefaultInput(loopmic2->deviceID));
    EXPECT_EQ(pactl("get-default-source"), "quillo_loopmic2");
    EXPECT_EQ(devices.defaultInputID(), loopmic2->deviceID);
    EXPECT_FALSE(devices.setDefaultInput(100000)) << "no such source";
    EXPECT_EQ(pactl("get-default-source"), "quillo_loopmic2");
    EXPECT_TRUE(devices.setDefaultInput(*first));
    EXPECT_EQ(pactl("get-default-source"), "quillo_loopmic");
}

TEST_F(PulseAudioTest, RecordsRealSpeechAsAudibleAacMono16kHzOfTheRecordedLength)
{
    MicrophoneManager manager(devices, preferences);
    AudioRecorder recorder(recorderParts(manager));

    Speech speech("quillo_null");
    std::this_thread::sleep_for(300ms); // the player is connected and waiting
    const auto started = std::chrono::steady_clock::now();
    recorder.startRecording();
    std::this_thread::sleep_for(500ms);
    const double speechStart = Seconds(std::chrono::steady_clock::now() - started).count();
    speech.say();
    ASSERT_TRUE(speech.finish());
    std::this_thread::sleep_for(300ms);
    const auto path = stop(recorder);
    const double recorded = Seconds(std::chrono::steady_clock::now() - started).count();

    ASSERT_TRUE(path);
    EXPECT_EQ(fallbacks, 0);
    struct stat info
    {};
    ASSERT_EQ(::stat(path->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the recording is the user's voice";
    ASSERT_EQ(::stat(xdg::recordingsDirectory().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    const Decoded file = decode(*path);
    EXPECT_EQ(file.codec, "aac");
    EXPECT_EQ(file.sampleRate, 16000);
    EXPECT_EQ(file.channels, 1);
    EXPECT_NEAR(file.duration, recorded, 0.2);

    std::ifstream raw(kSpeech, std::ios::binary);
    const std::string rawBytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    const auto original = readSamples(QByteArray::fromStdString(rawBytes));
    const size_t speechFrom = size_t(speechStart * kRate);
    EXPECT_GT(rms(file.samples, speechFrom, speechFrom + original.size()), rms(original, 0, original.size()) / 3)
        << "the speech is audible in the file";
    EXPECT_LT(rms(file.samples, 0, speechFrom - kRate / 10), 50) << "and silence is silent";

    // Audio lost at the start would pull the speech earlier in the file; a
    // slow player only pushes it later. The margin leaves the exact figure to
    // the benchmark (a loaded or sanitised build starts slower) but catches a
    // clipped first word.
    const double expectedOnset = speechStart + speechOnset(original);
    const double onset = speechOnset(file.samples);
    EXPECT_GT(onset, expectedOnset - 0.1) << "the start of the recording was cut off";
    EXPECT_LT(onset, expectedOnset + 0.15);
    std::remove(path->c_str());
}

TEST_F(PulseAudioTest, TheChosenMicrophoneRecordsDirectlyAndSurvivesBeingUnpluggedAndPluggedBack)
{
    const std::string plug = "load-module module-remap-source source_name=quillo_unplugged master=quillo_null2.monitor "
                             "channels=1";
    std::string module = pactl(plug);
    ASSERT_FALSE(module.empty());
    MicrophoneManager manager(devices, preferences);
    microphones = &manager;
    manager.setSelectedUID("quillo_unplugged");
    AudioRecorder recorder(recorderParts(manager));

    // The source a capture stream of this process reads, by name.
    auto sourcesRecorded = [] {
        std::map<std::string, std::string> names; // index -> name
        for (const auto& source : nlohmann::json::parse(pactl("-f json list sources"))) {
            names[std::to_string(source["index"].get<int>())] = source["name"];
        }
        std::vector<std::string> used;
        const std::string self = std::to_string(::getpid());
        for (const auto& output : nlohmann::json::parse(pactl("-f json list source-outputs"))) {
            // The loop microphones read their sinks' monitors through source outputs of their own.
            if (output["properties"].value("application.process.id", "") == self) {
                used.push_back(names[std::to_string(output["source"].get<int>())]);
            }
        }
        return used;
    };

    const struct
    {
        const char* step; // what happens to the chosen microphone before the recording
        const char* sink; // heard only by the microphone that should record
        const char* recordedFrom;
        int fallbacks;
    } cases[] = {
        {"plugged in", "quillo_null2", "quillo_unplugged", 0},
        {"unplugged", "quillo_null", "quillo_loopmic", 1},
        {"still unplugged", "quillo_null", "quillo_loopmic", 1},
        {"plugged back in", "quillo_null2", "quillo_unplugged", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        if (std::string(c.step) == "unplugged") {
            pactl("unload-module " + module);
        } else if (std::string(c.step) == "plugged back in") {
            module = pactl(plug);
        }
        recorder.startRecording();
        // The live stream of the same dictation reads the same microphone.
        auto live = capture.start(AudioRecorder::kFormat, [](std::span<const std::int16_t>) {});
        EXPECT_EQ(sourcesRecorded(), (std::vector<std::string>{c.recordedFrom, c.recordedFrom}));
        EXPECT_EQ(pactl("get-default-source"), "quillo_loopmic") << "the desktop's default input is left alone";
        EXPECT_EQ(fallbacks, c.fallbacks);
        Speech(c.sink).say();
        live.reset();
        const auto path = stop(recorder);
        ASSERT_TRUE(path) << "the recording goes ahead in either case";
        const Decoded file = decode(*path);
        EXPECT_GT(rms(file.samples, 0, file.samples.size()), 300) << "recorded from the right microphone";
        std::remove(path->c_str());
    }
    EXPECT_EQ(manager.selectedUID(), "quillo_unplugged") << "the choice survives the absence";
    pactl("unload-module " + module);
}

// A socket that accepts connections and never says a word: a hung server.
class SilentServer
{
public:
    explicit SilentServer(const std::string& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(m_fd, 8);
    }
    ~SilentServer() { ::close(m_fd); }

private:
    int m_fd = -1;
};

TEST_F(PulseAudioTest, AbsentOrHungServerFailsCleanlyWithinTheTimeout)
{
    QTemporaryDir dir;
    const std::string hung = dir.filePath(QStringLiteral("hung")).toStdString();
    SilentServer silent(hung);
    const struct
    {
        const char* name;
        std::string server;
    } cases[] = {{"no server", "unix:" + dir.filePath(QStringLiteral("absent")).toStdString()},
                 {"server never answers", "unix:" + hung}};

    for (const auto& c : cases) {
        const PulseConnection::Options options{c.server, 300ms};
        const auto began = std::chrono::steady_clock::now();
        auto dead = std::make_shared<PulseConnection>(options);
        PulseAudioDevices deadDevices(dead);
        PulseAudioCapture deadCapture(dead);
        EXPECT_TRUE(deadDevices.inputDevices().empty()) << c.name;
        EXPECT_FALSE(deadDevices.defaultInputID()) << c.name;
        EXPECT_FALSE(deadDevices.setDefaultInput(1)) << c.name;

        preferences.setObject("selectedMicUID", "quillo_loopmic2");
        MicrophoneManager manager(deadDevices, preferences);
        AudioRecorder recorder(
            {manager, deadCapture, writer, notifications, clock, disk, dir.path().toStdString(), {}});
        recorder.startRecording();
        EXPECT_EQ(stop(recorder), std::nullopt) << c.name;
        EXPECT_FALSE(PulseMicrophoneAccess::serverReachable(options)) << c.name;
        // One timeout for the shared connection, then calls fail at once; one
        // more for the probe's own connection. Seven calls waiting in turn
        // would take 2.1 s.
        EXPECT_LT(Seconds(std::chrono::steady_clock::now() - began).count(), 1.5) << c.name << ": no call hangs";
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("clip_*")}).size(), 0) << c.name;
    }
}

TEST_F(PulseAudioTest, MicrophoneAccessIsGrantedByTheRunningServer)
{
    PulseMicrophoneAccess access;
    std::promise<bool> answer;
    access.requestAccess([&](bool granted) { answer.set_value(granted); });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(future.get());
}

} // namespace
} // namespace quillo::test
