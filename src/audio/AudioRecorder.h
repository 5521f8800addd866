#pragma once

#include <functional>
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
class SampleListener;

// Records into a new AAC file (.m4a) per recording, from the input the
// microphone manager names (the capture asks it), and tells the controller
// when the chosen microphone is missing. A recording without speech in it
// (see SpeechLevelMeter) yields no file.
//
// Threading: main thread. Captured audio is encoded, and handed to the
// listener, on the capture's thread.
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
        // Private to the user: created 0700 when missing, refused when it is
        // another user's or open to others.
        std::string recordingsDirectory;
        // Tells the user why a recording could not be made or kept (main
        // thread); nothing else would, since the recording just yields no file.
        std::function<void(const std::string& problem)> reportProblem;
        // Who else hears the recording to be saved at the path, as it is
        // captured (the offline engine); nothing when nobody does.
        std::function<std::shared_ptr<SampleListener>(const std::string& path)> listenerFor = {};
    };

    // 16 kHz mono: what the speech services want, and small uploads.
    static constexpr AudioFormat kFormat{16000, 1};

    // Every dependency must outlive the recorder.
    explicit AudioRecorder(Dependencies dependencies);
    // A recording still running is abandoned: its file is removed.
    ~AudioRecorder() override;

    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    void startRecording() override;
    void stopRecording(Completion completion) override;
    void cancelRecording() override;

    bool isRecording() const { return m_session != nullptr; }

    // "clip_<seconds since 1970>.m4a", the seconds in the shortest decimal form
    // that reads back as the same double (clip_1765000000.123456.m4a).
    static std::string fileNameFor(double secondsSince1970);

private:
    struct Session;

    std::string newRecordingPath();
    std::string cannotSave() const;
    void report(const std::string& problem);
    void abandon(std::unique_ptr<Session> session);

    Dependencies m_deps;
    std::unique_ptr<Session> m_session;
    std::string m_lastPath;
};

} // namespace quillo
