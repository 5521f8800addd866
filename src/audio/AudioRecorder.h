#pragma once

#include <memory>
#include <optional>
#include <string>

#include "audio/Recorder.h"
#include "platform/AudioFormat.h"

namespace quillo {

class AudioCapture;
class AudioFileWriter;
class Clock;
class FileSystem;
class MicrophoneManager;
class NotificationCenter;

// Records the default input into a new AAC file (.m4a) per recording, after
// letting the microphone manager make the chosen device the default, and puts
// the previous default back when the recording stops. A recording without
// speech in it (see SpeechLevelMeter) yields no file.
//
// Threading: main thread. Captured audio is encoded on the capture's thread.
class AudioRecorder final : public Recorder
{
public:
    struct Dependencies
    {
        MicrophoneManager& microphones;
        AudioCapture& capture;
        AudioFileWriter& fileWriter;
        NotificationCenter& notificationCenter;
        Clock& clock;
        FileSystem& fileSystem;
        // Private to the user: created 0700 when missing.
        std::string recordingsDirectory;
    };

    // 16 kHz mono: what the speech services want, and small uploads.
    static constexpr AudioFormat kFormat{16000, 1};

    // Every dependency must outlive the recorder.
    explicit AudioRecorder(Dependencies dependencies);
    // A recording still running is abandoned: its file is removed and the
    // default input restored.
    ~AudioRecorder() override;

    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    void startRecording() override;
    void stopRecording(Completion completion) override;

    bool isRecording() const { return m_session != nullptr; }

    // "clip_<seconds since 1970>.m4a", the seconds in the shortest decimal form
    // that reads back as the same double (clip_1765000000.123456.m4a).
    static std::string fileNameFor(double secondsSince1970);

private:
    struct Session;

    std::string newRecordingPath();
    void abandon(std::unique_ptr<Session> session);

    Dependencies m_deps;
    std::unique_ptr<Session> m_session;
    std::string m_lastPath;
};

} // namespace quillo
