#pragma once

// Fakes of the core collaborators the dictation controller drives.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/HotkeyControl.h"
#include "output/Paster.h"
#include "streaming/LiveStreamer.h"
#include "transcription/Transcriber.h"

namespace quillo::test {

class FakeHotkeyControl final : public HotkeyControl
{
public:
    void setCallbacks(Callbacks c) override { callbacks = std::move(c); }
    void start() override {}
    void setEnabled(bool) override {}
    void finishRecording() override {}
    void runCommand(Command) override {}

    Callbacks callbacks;
};

// Answers each call with the next scripted outcome: a result or an exception.
class FakeTranscriber final : public Transcriber
{
public:
    struct Call
    {
        std::string audioPath;
        LanguageSet languages;
        std::optional<std::string> streamedTranscript;
    };
    using Outcome = std::function<DictationResult()>;

    DictationResult transcribeAndClean(const std::string& audioPath,
                                       const LanguageSet& languages,
                                       const std::optional<std::string>& streamedTranscript) override
    {
        calls.push_back({audioPath, languages, streamedTranscript});
        if (outcomes.empty()) {
            return {};
        }
        const Outcome outcome = outcomes.front();
        outcomes.erase(outcomes.begin());
        return outcome();
    }

    void willReturn(DictationResult result)
    {
        outcomes.push_back([result] { return result; });
    }
    template <typename Error> void willThrow(Error error)
    {
        outcomes.push_back([error]() -> DictationResult { throw error; });
    }

    std::vector<Call> calls;
    std::vector<Outcome> outcomes;
};

class FakePaster final : public Paster
{
public:
    void paste(const std::string& text, bool simulateEnter) override { pastes.emplace_back(text, simulateEnter); }
    void copy(const std::string& text) override { copies.push_back(text); }
    void setReportHandler(ReportHandler) override {}

    std::vector<std::pair<std::string, bool>> pastes;
    std::vector<std::string> copies;
};

class FakeLiveStreamer final : public LiveStreamer
{
public:
    void start() override {}
    std::optional<std::string> finish() override { return transcript; }
    void cancel() override {}

    std::optional<std::string> transcript;
};

class FakeLiveStreamerFactory final : public LiveStreamerFactory
{
public:
    bool shouldStream(const LanguageSet& languages) override { return languages == LanguageSet{"en"}; }
    std::shared_ptr<LiveStreamer> create() override
    {
        auto streamer = std::make_shared<FakeLiveStreamer>();
        streamer->transcript = nextTranscript;
        return streamer;
    }

    std::optional<std::string> nextTranscript;
};

} // namespace quillo::test
