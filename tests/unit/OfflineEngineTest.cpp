#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "base/SampleListener.h"
#include "fakes/FakeLocalSpeech.h"
#include "fakes/RecordingLog.h"
#include "platform/linux/FfmpegAudioDecoder.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "transcription/LocalSpeechEngine.h"
#include "transcription/SpokenTextFormatter.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;

TEST(SpokenTextFormatter, MakesSentencesAndTurnsSpokenCommandsIntoCharacters)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"  i think   it is in italy \n", "I think it is in italy."}, // "i" only as a word of its own
        {"um so <s> hello [noise] there umm", "So hello there."},
        {"um uh", ""},
        {"hello comma how are you question mark i am fine period thanks", "Hello, how are you? I am fine. Thanks."},
        {"dear sam colon new paragraph see you new line bye", "Dear sam:\n\nSee you\nBye."},
        {"he said open quote hello there close quote", "He said \"hello there\"."},
        {"an x hyphen ray dash maybe", "An x-ray - maybe."},
        // Punctuation said where nothing precedes it has nothing to mark.
        {"period comma hello new line comma world", "Hello\nWorld."},
        {"press enter twice", "Press enter twice."},
    };
    for (const auto& [words, text] : cases) {
        EXPECT_EQ(formatSpokenWords(words), (SpokenText{text, false})) << "case '" << words << "'";
    }
    EXPECT_EQ(formatSpokenWords("ship it period hit enter"), (SpokenText{"Ship it.", true}));
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
    EXPECT_EQ(results, std::vector<SpokenText>(4, {"Go forward ten meters.", false}));
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

// A recording heard as it is made: the model loads meanwhile and nothing
// captured during the load is lost, the file is not read, and the model is
// given back once unused, then loaded again for the next recording.
TEST_F(LocalSpeechEngineTest, HearsRecordingsAsTheyAreMadeAndGivesTheModelBackWhenIdle)
{
    recognizer.loadTime = 100ms;
    LocalSpeechEngine live{{decoder, recognizer, log, 200ms, [] { return std::vector<std::string>{"Quillo"}; }}};
    const std::vector<std::int16_t> block(441, 7); // capture blocks fit no piece size
    const auto waitFor = [](const auto& condition) {
        for (int i = 0; i < 500 && !condition(); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return condition();
    };
    for (const int round : {1, 2}) {
        const std::string path = "clip-" + std::to_string(round);
        auto listener = live.hear(path);
        for (int i = 0; i < 40; ++i) {
            listener->hear(block);
        }
        EXPECT_TRUE(waitFor([&] { return live.partialWords() == "go"; })) << "round " << round;
        listener->recordingEnded(true);
        bool fileRead = false;
        const SpokenText spoken = live.transcribe(path, [&] {
            fileRead = true;
            return std::string("pcm");
        });
        EXPECT_EQ(spoken.text, "Go forward ten meters.") << "round " << round;
        EXPECT_FALSE(fileRead) << "round " << round;
        EXPECT_EQ(recognizer.heardSamples.load(), 40u * block.size()) << "round " << round;
        EXPECT_EQ(recognizer.loads.load(), round) << "round " << round;
        EXPECT_EQ(recognizer.preferred, std::vector<std::string>{"Quillo"}) << "round " << round;
        EXPECT_TRUE(waitFor([&] { return recognizer.unloads.load() == round; })) << "round " << round;
    }
    EXPECT_EQ(log.lines().back(), "[Quillo] Offline model Test Model unloaded after 0.2s unused");

    // A recording thrown away is not heard to the end; its path, should it be
    // asked for, is decoded from the file.
    auto listener = live.hear("clip-3");
    listener->hear(block);
    listener->recordingEnded(false);
    EXPECT_EQ(live.transcribe("clip-3", [] { return std::string("pcm"); }).text, "Go forward ten meters.");
    EXPECT_EQ(recognizer.heardSamples.load(), 3u);
    EXPECT_FALSE(recognizer.overlapped.load());
}

// The real recogniser on Debian's recordings: a recording heard as it is
// captured, in blocks that fit no piece size, gives the words of decoding it
// from its file afterwards. Two engines hear the same recordings in the same
// order, since the recogniser's channel estimate carries from one to the next.
TEST(PocketSphinxLiveDecoding, HearingWhileRecordingGivesTheWordsOfTheFile)
{
    const std::string data = "/usr/share/pocketsphinx/test/data/";
    if (!std::filesystem::exists(data + "cards/005.wav") ||
        !std::filesystem::exists(std::string(PocketSphinxRecognizer::kModelDirectory) + "/en-us.lm.bin")) {
        GTEST_SKIP() << "needs the packages pocketsphinx-en-us and pocketsphinx-testdata";
    }
    FfmpegAudioDecoder decoder;
    PocketSphinxRecognizer liveRecognizer;
    PocketSphinxRecognizer fileRecognizer;
    RecordingLog log;
    LocalSpeechEngine engine{{decoder, liveRecognizer, log}};
    LocalSpeechEngine files{{decoder, fileRecognizer, log}};
    for (const char* name : {"cards/005.wav",
                             "librivox/sense_and_sensibility_01_austen_64kb-0880.wav",
                             "librivox/sense_and_sensibility_01_austen_64kb-0930.wav"}) {
        std::ifstream in(data + name, std::ios::binary);
        const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const auto samples = decoder.decodeMono(file, 16000);
        auto listener = engine.hear(name);
        for (std::size_t at = 0; at < samples.size(); at += 441) {
            listener->hear(std::span(samples).subspan(at, std::min<std::size_t>(441, samples.size() - at)));
        }
        listener->recordingEnded(true);
        const SpokenText heard = engine.transcribe(name, []() -> std::string { throw std::logic_error("file read"); });
        const SpokenText fromFile = files.transcribe("file", [&] { return file; });
        EXPECT_FALSE(heard.text.empty()) << "case " << name;
        EXPECT_EQ(heard, fromFile) << "case " << name;
    }
}

} // namespace
} // namespace quillo::test
