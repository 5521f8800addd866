#include "transcription/OpenAIService.h"

#include <gtest/gtest.h>

#include "fakes/FakeDictationParts.h"
#include "fakes/FakeLocalSpeech.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeServiceAccess.h"
#include "fakes/FakeTranscriptionParts.h"
#include "settings/Settings.h"
#include "store/DataStore.h"
#include "transcription/LocalSpeechEngine.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

class OpenAIServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { preferences.disk().put(kAudio, "m4a-bytes"); }

    DictationResult run(const LanguageSet& languages = {"en"})
    {
        return service.transcribeAndClean(kAudio, languages, std::nullopt);
    }

    std::vector<std::string> logLines() { return log.lines(); }

    static constexpr const char* kAudio = "/rec/clip_1.m4a";
    FakePreferences preferences;
    FakeClock clock;
    RecordingLog log;
    FakeSpeechServices services;
    DataStore lists{preferences.disk(), preferences, log, clock, "/data/Quillo"};
    FakeCredentials credentials;
    FakeAudioDecoder decoder;
    FakeSpeechRecognizer recognizer;
    LocalSpeechEngine localSpeech{{decoder, recognizer, log}};
    OpenAIService service{{preferences, preferences.disk(), clock, log, services, lists, credentials, localSpeech}};
};

TEST_F(OpenAIServiceTest, ShortTranscriptsSkipCleanupOnlyWhenAllThreeConditionsHold)
{
    struct Case
    {
        const char* name;
        std::string transcript;
        std::string instructions;
        bool expectCleanup;
    };
    const std::vector<Case> cases = {
        {"seven words", "one two three four five six seven", "", false},
        {"eight words", "one two three four five six seven eight", "", true},
        {"blank instructions", "short text", " \n\t ", false},
        {"visible instructions", "short text", "Use British spelling", true},
        {"foreign script", "привет мир", "", true},
    };
    for (const auto& c : cases) {
        services.cleanups = 0;
        services.deepgramAnswer.text = c.transcript;
        services.cleanupAnswer.text = "Cleaned.";
        preferences.setObject(setting::cleanupInstructions.key, c.instructions);
        const auto result = run();
        EXPECT_EQ(services.cleanups, c.expectCleanup ? 1 : 0) << "case " << c.name;
        EXPECT_FALSE(result.simulateEnter) << "case " << c.name;
        if (!c.expectCleanup) {
            EXPECT_EQ(result.text, c.transcript) << "case " << c.name;
        }
    }
}

// Return is pressed only when the model's final CR answers a command the
// user spoke at the very end: in a chat or a form it would send.
TEST_F(OpenAIServiceTest, AFinalCarriageReturnAsksForEnterOnlyWhenSpoken)
{
    struct Case
    {
        const char* name;
        std::string content;
        DictationResult expected;
        std::string transcript = " send the report press enter ";
    };
    const std::vector<Case> cases = {
        {"single CR", "Send the report.\r", {"Send the report.", true}},
        {"CR LF", "Send the report.\r\n", {"Send the report.", false}},
        {"refusal with CR", "I'm sorry, I can't help with that.\r", {"send the report press enter", false}},
        {"send as the last word", "Thanks, see you.\r", {"Thanks, see you.", true}, "thanks see you send"},
        {"CR the user never asked for", "Send the report.\r", {"Send the report.", false}, "send the report"},
        {"word ending in the command", "Resend.\r", {"Resend.", false}, "please resend"},
    };
    for (const auto& c : cases) {
        services.deepgramAnswer.text = c.transcript;
        preferences.setObject(setting::cleanupInstructions.key, "Obey spoken commands");
        services.cleanupAnswer.text = c.content;
        EXPECT_EQ(run(), c.expected) << "case " << c.name;
    }
}

// An answer cut off at the token limit, without a finish reason, or empty.
TEST_F(OpenAIServiceTest, AnswersThatCannotBeUsedFallBackToTheTrimmedTranscript)
{
    const std::vector<std::pair<std::string, std::string>> cases = {{"What is the capital of France and", "length"},
                                                                    {"What is the capital of France?", ""},
                                                                    {" \n", "stop"}};
    for (const auto& [content, finishReason] : cases) {
        services.deepgramAnswer.text = "\n what is the capital of France and also tell me a joke please \n";
        services.cleanupAnswer.text = content;
        services.cleanupFinishReason = finishReason;
        EXPECT_EQ(run(), (DictationResult{"what is the capital of France and also tell me a joke please", false}))
            << "case '" << finishReason << "'";
        EXPECT_NE(logLines().back().find("Cleanup answer not used"), std::string::npos) << logLines().back();
    }
}

TEST_F(OpenAIServiceTest, ControlCharactersFromTheServicesNeverReachTheText)
{
    // A title change, a screen clear and a C1 CSI, as a hostile service might send.
    services.deepgramAnswer.text = "\x1b]0;pwned\x07hi \x1b[2Jthere\xc2\x9b"
                                   "1m";
    EXPECT_EQ(run().text, "]0;pwnedhi [2Jthere1m");

    services.deepgramAnswer.text = "one two three four five six seven eight";
    services.cleanupAnswer.text = "One,\ttwo\x1b[8m three\nfour five six seven eight.\x7f";
    EXPECT_EQ(run().text, "One,\ttwo[8m three\nfour five six seven eight.");
}

TEST_F(OpenAIServiceTest, ACleanupOrReadFailureFailsTheDictation)
{
    // Clean-up failure fails the dictation even though a transcript exists.
    services.deepgramAnswer.text = "one two three four five six seven eight nine";
    services.cleanupAnswer.fail = [] { throw DictationError::parse(); };
    EXPECT_THROW(run(), DictationError);

    // An unreadable recording fails before any network traffic.
    const auto uploadsBefore = services.uploads;
    preferences.disk().failReadsOf(kAudio);
    EXPECT_THROW(run(), FileReadError);
    EXPECT_EQ(services.uploads, uploadsBefore);
}

// Every engine choice against the state of the key it needs: a configured
// key is used (and a rejection reported, never hidden by another engine); a
// key that is not configured at all hands the dictation to the other cloud
// engine when it serves the languages, else to the offline engine.
TEST_F(OpenAIServiceTest, EachEngineNeedsItsKeyAndFallsBackToAnEngineThatCanServe)
{
    enum class Keys
    {
        both,
        noDeepgram,
        blankOpenAI, // blank counts as not configured
        deepgramRejected,
        openAIRejected
    };
    struct Case
    {
        const char* engine;
        LanguageSet languages;
        Keys keys;
        const char* via; // nullptr: the rejection is the result
    };
    const std::vector<Case> cases = {
        {"auto", {"en"}, Keys::both, "deepgram"},
        {"auto", {"en"}, Keys::noDeepgram, "openai"},
        {"auto", {"en"}, Keys::deepgramRejected, nullptr},
        {"auto", {"en", "de"}, Keys::blankOpenAI, "local"}, // Deepgram's upload is English only
        {"openai", {"en"}, Keys::blankOpenAI, "deepgram"},
        {"openai", {"en"}, Keys::openAIRejected, nullptr},
        {"deepgram", {"fr"}, Keys::noDeepgram, "openai"},
        {"local", {"en"}, Keys::both, "local"},
    };
    services.deepgramAnswer.text = "From Deepgram.";
    services.openAIAnswer.text = "From OpenAI.";
    recognizer.words = "from this computer";
    const auto reject = [] { throw DictationError::auth(DictationError::Service::openAI); };
    for (const auto& c : cases) {
        const std::string name = std::string(c.engine) + " " + std::to_string(c.languages.size()) +
                                 " language(s), keys " + std::to_string(static_cast<int>(c.keys));
        preferences.setObject("quillo.transcriptionEngine", c.engine);
        credentials = FakeCredentials{};
        if (c.keys == Keys::noDeepgram) {
            credentials.deepgram.reset();
        }
        if (c.keys == Keys::blankOpenAI) {
            credentials.openAI = "  ";
        }
        services.deepgramAnswer.fail = c.keys == Keys::deepgramRejected ? reject : std::function<void()>();
        services.openAIAnswer.fail = c.keys == Keys::openAIRejected ? reject : std::function<void()>();
        if (!c.via) {
            try {
                run(c.languages);
                ADD_FAILURE() << "case " << name << ": expected the rejection";
            } catch (const DictationError& error) {
                EXPECT_EQ(error.kind(), DictationError::Kind::auth) << "case " << name;
            }
            continue;
        }
        const std::string via = c.via;
        const std::string expected = via == "deepgram" ? "From Deepgram."
                                     : via == "openai" ? "From OpenAI."
                                                       : "From this computer.";
        EXPECT_EQ(run(c.languages).text, expected) << "case " << name;
    }
    EXPECT_EQ(recognizer.loads.load(), 1) << "the model is loaded once";
}

TEST_F(OpenAIServiceTest, CleanupNeedsAnOpenAIKeyAndNeverRunsWhenOfflineIsChosen)
{
    const std::string longText = "  please move the meeting to friday and tell the whole team today  ";
    lists.addSnippet("today", "on Monday");
    services.deepgramAnswer.text = longText;
    services.cleanupAnswer.text = "Cleaned.";

    credentials.openAI.reset();
    EXPECT_EQ(run(), (DictationResult{"please move the meeting to friday and tell the whole team on Monday", false}))
        << "Deepgram without an OpenAI key: trimmed, snippets, no clean-up";

    // The offline engine the user chose keeps the words on this computer.
    preferences.setObject("quillo.transcriptionEngine", "local");
    credentials = FakeCredentials{};
    services.uploads = 0;
    recognizer.words = "um please move the meeting to friday and tell the whole team press enter";
    EXPECT_EQ(run(), (DictationResult{"Please move the meeting to friday and tell the whole team.", true}));
    EXPECT_EQ(services.uploads + services.cleanups, 0);
}

} // namespace
} // namespace quillo::test
