#include "transcription/OpenAIService.h"

#include <gtest/gtest.h>
#include <tuple>

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
    // Transcript, instructions, whether clean-up runs.
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"one two three four five six seven", " \n\t ", false},
        {"one two three four five six seven eight", "", true},
        {"short text", "Use British spelling", true},
        {"привет мир", "", true}, // another script than the languages'
    };
    services.cleanupAnswer.text = "Cleaned.";
    for (const auto& [transcript, instructions, cleaned] : cases) {
        services.deepgramAnswer.text = transcript;
        preferences.setObject(setting::cleanupInstructions.key, instructions);
        EXPECT_EQ(run(), (DictationResult{cleaned ? "Cleaned." : transcript, false})) << "case " << transcript;
    }
}

// Return is pressed only when the model's final CR answers a command the
// user spoke at the very end: in a chat or a form it would send.
TEST_F(OpenAIServiceTest, AFinalCarriageReturnAsksForEnterOnlyWhenSpoken)
{
    // Transcript, the model's answer, the result.
    const std::vector<std::tuple<std::string, std::string, DictationResult>> cases = {
        {" send the report press enter ", "Send the report.\r", {"Send the report.", true}},
        {" send the report press enter ", "Send the report.\r\n", {"Send the report.", false}},
        {"thanks see you send", "Thanks, see you.\r", {"Thanks, see you.", true}},
        {"send the report", "Send the report.\r", {"Send the report.", false}},
        {"please resend", "Resend.\r", {"Resend.", false}},
    };
    preferences.setObject(setting::cleanupInstructions.key, "Obey spoken commands");
    for (const auto& [transcript, content, expected] : cases) {
        services.deepgramAnswer.text = transcript;
        services.cleanupAnswer.text = content;
        EXPECT_EQ(run(), expected) << "case " << transcript << " / " << content;
    }
}

// An answer cut off at the token limit, or empty.
TEST_F(OpenAIServiceTest, AnswersThatCannotBeUsedFallBackToTheTrimmedTranscript)
{
    const std::vector<std::pair<std::string, std::string>> cases = {{"What is the capital of France and", "length"},
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
    struct Case
    {
        const char* engine;
        LanguageSet languages;
        std::optional<std::string> openAIKey; // blank counts as not configured
        std::optional<std::string> deepgramKey;
        const char* expected; // nullptr: the rejection is the result
    };
    const std::vector<Case> cases = {
        {"auto", {"en"}, "sk", "dg", "From Deepgram."},
        {"auto", {"en"}, "sk", std::nullopt, "From OpenAI."},
        {"auto", {"en"}, "sk", "rejected", nullptr},
        {"auto", {"en", "de"}, "  ", "dg", "From this computer."}, // Deepgram's upload is English only
        {"openai", {"en"}, "  ", "dg", "From Deepgram."},
        {"local", {"en"}, "sk", "dg", "From this computer."},
    };
    services.deepgramAnswer.text = "From Deepgram.";
    services.openAIAnswer.text = "From OpenAI.";
    recognizer.words = "from this computer";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        preferences.setObject("quillo.transcriptionEngine", c.engine);
        credentials.openAI = c.openAIKey;
        credentials.deepgram = c.deepgramKey;
        services.deepgramAnswer.fail = std::function<void()>();
        if (c.deepgramKey == "rejected") {
            services.deepgramAnswer.fail = [] { throw DictationError::auth(DictationError::Service::deepgram); };
        }
        if (!c.expected) {
            EXPECT_THROW(run(c.languages), DictationError) << "case " << i;
            continue;
        }
        EXPECT_EQ(run(c.languages).text, c.expected) << "case " << i;
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
