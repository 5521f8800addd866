#pragma once

#include "platform/linux/CurlHttpClient.h"
#include "platform/linux/EnvironmentCredentials.h"
#include "platform/linux/EnvironmentEndpoints.h"
#include "platform/linux/FfmpegAudioDecoder.h"
#include "platform/linux/JsonPreferences.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/StderrLog.h"
#include "platform/linux/SystemClock.h"
#include "platform/qt/KeyringCredentials.h"
#include "store/DataStore.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/OpenAIService.h"
#include "transcription/RemoteSpeechServices.h"

namespace quillo {

// What the desktop app and the commands share, built the one way: the user's
// settings and lists, the history, the service keys and the dictation pipeline
// with its cloud and offline engines, all over the user's real folders. The
// members are built in the order declared, each from those before it.
//
// Cheap to build: nothing is loaded or connected until first used. The
// offline model loads when a dictation or Settings first needs it, and is
// given back when it has not been used for a while.
struct Pipeline
{
    Pipeline();
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    PosixFileSystem fileSystem;
    StderrLog log;
    SystemClock clock;
    JsonPreferences preferences;
    DataStore store;
    CurlHttpClient http;
    EnvironmentCredentials plainCredentials; // the environment and the credentials file
    // With the keys saved in the desktop's keyring, once the app has loaded them.
    KeyringCredentials credentials;
    EnvironmentEndpoints endpoints;
    RemoteSpeechServices services;
    FfmpegAudioDecoder audioDecoder;
    PocketSphinxRecognizer recognizer;
    LocalSpeechEngine localSpeech;
    OpenAIService transcriber;

private:
    Preferences::ObserverToken m_engineObserver = 0;
};

} // namespace quillo
