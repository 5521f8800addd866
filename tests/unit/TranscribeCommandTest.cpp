#include "app/cli/TranscribeCommand.h"

#include <sstream>

#include <gtest/gtest.h>

#include "fakes/FakeDictationParts.h"
#include "fakes/FakePreferences.h"

namespace quillo::test {
namespace {

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

class TranscribeCommandTest : public ::testing::Test
{
protected:
    Outcome run(const std::vector<std::string>& arguments)
    {
        std::ostringstream out;
        std::ostringstream err;
        Outcome outcome;
        outcome.status = TranscribeCommand{preferences, transcriber}.run(arguments, out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    FakePreferences preferences;
    FakeTranscriber transcriber;
};

// Control characters in a result or an error are shown, never run by the terminal.
TEST_F(TranscribeCommandTest, EachOutcomePrintsItsTextOrItsDescription)
{
    transcriber.willReturn({"Line one\n\tLine two\x1b]0;title\x07\r\xc2\x9b"
                            "2J",
                            false});
    transcriber.willReturn({});
    transcriber.willThrow(DictationError::api("{\"error\":1}\x1b[2J"));
    const std::vector<Outcome> expected = {
        {0, "Line one\n\tLine two\\x1B]0;title\\x07\\x0D\\u009B2J\n", ""},
        {0, "", ""},
        {1, "", "Quillo Error: API error: {\"error\":1}\\x1B[2J\n"},
    };
    for (const auto& want : expected) {
        const Outcome outcome = run({"clip.m4a"});
        EXPECT_EQ(outcome.status, want.status) << want.out << want.err;
        EXPECT_EQ(outcome.out, want.out);
        EXPECT_EQ(outcome.err, want.err);
    }
}

TEST_F(TranscribeCommandTest, WrongCommandLinesTranscribeNothing)
{
    const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
        {{"a.m4a", "--languages"}, "--languages needs a value"},
        {{"a.m4a", "--languages", "en,xx"}, "unknown language code 'xx'"},
        {{"a.m4a", "--verbose"}, "unknown option '--verbose'"},
    };
    for (const auto& [arguments, problem] : cases) {
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 2) << "case " << problem;
        EXPECT_EQ(outcome.out, "") << "case " << problem;
        EXPECT_NE(outcome.err.find(problem), std::string::npos) << "case " << problem << ": " << outcome.err;
        EXPECT_NE(outcome.err.find("Usage: quillo transcribe FILE"), std::string::npos) << "case " << problem;
    }
    EXPECT_TRUE(transcriber.calls.empty());
}

} // namespace
} // namespace quillo::test
