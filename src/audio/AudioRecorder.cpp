#include "audio/AudioRecorder.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

#include "audio/MicrophoneManager.h"
#include "audio/SpeechLevel.h"
#include "base/NotificationCenter.h"
#include "base/SampleListener.h"
#include "platform/AudioCapture.h"
#include "platform/AudioFileWriter.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"

namespace quillo {

struct AudioRecorder::Session
{
    std::string path;
    std::unique_ptr<AudioFileWriter::File> file;
    std::shared_ptr<SampleListener> listener;
    std::unique_ptr<AudioCapture::Stream> stream;
    // Fed on the capture thread; read once the stream has stopped.
    SpeechLevelMeter level;
};

AudioRecorder::AudioRecorder(Dependencies dependencies) : m_deps(std::move(dependencies)) {}

AudioRecorder::~AudioRecorder()
{
    if (m_session) {
        abandon(std::move(m_session));
    }
}

std::string AudioRecorder::fileNameFor(double secondsSince1970)
{
    char digits[64];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), secondsSince1970, std::chars_format::fixed);
    return "clip_" + std::string(digits, result.ptr) + ".m4a";
}

std::string AudioRecorder::newRecordingPath()
{
    double seconds = std::chrono::duration<double>(m_deps.clock.now().time_since_epoch()).count();
    std::string path;
    // A clock that repeats itself (coarse, or set back) must not make two
    // recordings share a file: step to the next representable time instead.
    for (int attempt = 0; attempt < 64; ++attempt) {
        path = m_deps.recordingsDirectory + "/" + fileNameFor(seconds);
        if (path != m_lastPath && !m_deps.fileSystem.exists(path)) {
            break;
        }
        seconds = std::nextafter(seconds, std::numeric_limits<double>::infinity());
    }
    m_lastPath = path;
    return path;
}

void AudioRecorder::startRecording()
{
    if (m_deps.microphones.inputForRecording().fellBack) {
        m_deps.notificationCenter.post(kMicFallbackDidOccur);
    }

    if (m_session) {
        abandon(std::move(m_session));
    }

    // Each failure below means the recording yields no file when it stops.
    if (const auto folder = m_deps.fileSystem.createPrivateDirectory(m_deps.recordingsDirectory); !folder) {
        report("Quillo cannot record: " + folder.error + ".");
        return;
    }
    auto session = std::make_unique<Session>();
    session->path = newRecordingPath();
    session->file = m_deps.fileWriter.create(session->path, kFormat);
    if (!session->file) {
        report(cannotSave());
        return;
    }
    if (m_deps.listenerFor) {
        session->listener = m_deps.listenerFor(session->path);
    }
    // The sink runs on the capture thread; the file is touched there only until
    // the stream is stopped, which happens before anyone else uses it.
    session->stream = m_deps.capture.start(kFormat, [raw = session.get()](std::span<const std::int16_t> samples) {
        raw->file->append(samples);
        raw->level.add(samples);
        if (raw->listener) {
            raw->listener->hear(samples);
        }
    });
    if (!session->stream) {
        if (session->listener) {
            session->listener->recordingEnded(false);
        }
        session->file.reset();
        m_deps.fileSystem.removeFile(session->path);
        report("No microphone could be opened. Check that the audio server (PipeWire or PulseAudio) is running "
               "and that a microphone is connected.");
        return;
    }
    m_session = std::move(session);
}

void AudioRecorder::stopRecording(Completion completion)
{
    std::optional<std::string> path;
    if (auto session = std::move(m_session)) {
        session->stream->stop();
        // The listener finishes its work while the file is completed. Should
        // completing it fail, nobody asks the listener for what it heard.
        if (session->listener) {
            session->listener->recordingEnded(session->level.isDictation());
        }
        if (!session->level.isDictation()) {
            // Nothing was said (or the key was only tapped): no file, so nothing
            // is sent, stored or pasted, and no error is raised.
            session->file.reset();
            m_deps.fileSystem.removeFile(session->path);
        } else if (session->file->finish()) {
            path = session->path;
        } else {
            // An incomplete file would only fail later as an undecodable upload.
            session->file.reset();
            m_deps.fileSystem.removeFile(session->path);
            report(cannotSave());
        }
    }
    if (completion) {
        completion(path);
    }
}

std::string AudioRecorder::cannotSave() const
{
    return "The recording could not be saved in " + m_deps.recordingsDirectory + ". Is the disk full?";
}

void AudioRecorder::report(const std::string& problem)
{
    if (m_deps.reportProblem) {
        m_deps.reportProblem(problem);
    }
}

void AudioRecorder::cancelRecording()
{
    if (m_session) {
        abandon(std::move(m_session));
    }
}

void AudioRecorder::abandon(std::unique_ptr<Session> session)
{
    session->stream->stop();
    session->stream.reset();
    if (session->listener) {
        session->listener->recordingEnded(false);
    }
    session->file.reset();
    // Nobody will hear of this file, so nobody else would delete the user's voice.
    m_deps.fileSystem.removeFile(session->path);
}

} // namespace quillo
