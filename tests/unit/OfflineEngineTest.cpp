#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fakes/FakeLocalSpeech.h"
#include "fakes/RecordingLog.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/SpokenTextFormatter.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

TEST(SpokenTextFormatter, MakesSentencesAndTurnsSpokenCommandsIntoCharacters)
{
    struct Case
    {
        const char* words;
        const char* text;
        bool enter = false;
    };
    const std::vector<Case> cases = {
        {"  i think   it is in italy \n", "I think it is in italy."}, // "i" only as a word of its own
        {"um so <s> hello [noise] there umm", "So hello there."},
        {"um uh", ""},
        {"hello comma how are you question mark i am fine period thanks", "Hello, how are you? I am fine. Thanks."},
        {"dear sam colon new paragraph see you new line bye", "Dear sam:\n\nSee you\nBye."},
        {"he said open quote hello there close quote", "He said \"hello there\"."},
        {"an x hyphen ray dash maybe", "An x-ray - maybe."},
        // Punctuation said where nothing precedes it has nothing to mark.
        {"period comma hello new line comma world", "Hello\nWorld."},
        {"ship it period hit enter", "Ship it.", true},
        {"press enter twice", "Press enter twice."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatSpokenWords(c.words), (SpokenText{c.text, c.enter})) << "case '" << c.words << "'";
    }
}

class LocalSpeechEngineTest : public ::testing::Test
{
protected:
    FakeAudioDecoder decoder;
    FakeSpeechRecognizer recognizer;
    RecordingLog log;
    LocalSpeechEngine engine{{decoder, recognizer, log}};
};

TEST_F(LocalSpeechEngineTest, LoadsTheModelOnceForOverlappingDictationsAndRecognisesOneAtATime)
{
    recognizer.loadTime = 50ms;
    recognizer.recognizeTime = 20ms;
    engine.preload();
    std::vector<std::jthread> dictations;
    std::vector<SpokenText> results(4);
    for (std::size_t i = 0; i < results.size(); ++i) {
        dictations.emplace_back([&, i] { results[i] = engine.transcribe("clip", [] { return std::string("pcm"); }); });
    }
    dictations.clear(); // joins
    engine.preload();

    EXPECT_EQ(recognizer.loads.load(), 1);
    EXPECT_FALSE(recognizer.overlapped.load());
    for (const auto& result : results) {
        EXPECT_EQ(result, (SpokenText{"Go forward ten meters.", false}));
    }
}

TEST_F(LocalSpeechEngineTest, FailuresAreReportedAndAFailedLoadIsTriedAgain)
{
    recognizer.failLoads = 1;
    const auto file = [](const char* bytes) { return [bytes] { return std::string(bytes); }; };
    EXPECT_THROW(engine.transcribe("clip", file("pcm")), LocalSpeechError);
    EXPECT_EQ(engine.transcribe("clip", file("pcm")).text, "Go forward ten meters.");
    EXPECT_EQ(recognizer.loads.load(), 2);

    EXPECT_THROW(engine.transcribe("clip", file("not audio")), LocalSpeechError);
}

} // namespace
} // namespace quillo::test
