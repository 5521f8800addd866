#include "transcription/TranscriptRules.h"
#include "base/SnippetRules.h"

#include <gtest/gtest.h>

namespace quillo::test {
namespace {

std::string repeat(const std::string& piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

class TranscriptRulesTest : public ::testing::Test
{
protected:
    TranscriptRules rules;
};

TEST_F(TranscriptRulesTest, RefusalsAreThePhrasesOfTheModelNotOfTheSpeaker)
{
    struct Case
    {
        const char* name;
        std::string answer;
        bool refusal;
        std::string transcript = "please send the report to dana by friday";
    };
    const std::vector<Case> cases = {
        {"plain apology", "I'm sorry, but I can't help with that.", true},
        {"shouted, quoted and padded", "  \n\"I AM SORRY\"  \n", true},
        {"typographic apostrophe is not the ASCII one", "I\u2019m afraid that works now.", false},
        {"inside a longer word", "Regrettably the train was late.", true},
        {"ordinary text", "Please send the report to Dana by Friday.", false},
        {"phrase ending at the 100th character", repeat("a", 94) + "regret", true},
        {"phrase cut by the 100th character", repeat("a", 95) + "regret", false},
        // Characters, not bytes: e + combining accent is one character of three bytes.
        {"head counted in characters", repeat("e\u0301", 94) + "regret", true},
        {"leading quotes do not use up the head", "\"\u201C\u2018'" + repeat("a", 94) + "regret", true},
        // Everyday speech that holds a phrase: the model formatted it.
        {"spoken i don't", "I don't think we need the meeting.", false, "i don't think we need the meeting"},
        {"spoken phrase late in the transcript", "Sorry, I was late.", false, repeat("so ", 60) + "sorry i was late"},
        {"model apologises for a different reason than the speaker",
         "I'm sorry, but I can't help with that.",
         true,
         "i can't find the file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rules.isRefusal(c.answer, c.transcript), c.refusal) << "case " << c.name;
    }
}

TEST_F(TranscriptRulesTest, ScriptTestChecksEveryLetterAndMark)
{
    struct Case
    {
        const char* name;
        std::string text;
        LanguageSet languages;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"digits and punctuation have no letters", "123, 456!", {"en"}, false},
        {"Latin-1 letters", "Caf\u00E9 Stra\u00DFe", {"en"}, true},
        {"Vietnamese precomposed letter", "Vi\u1EC7t", {"vi"}, false},
        {"combining accent is a letter outside Latin", "Cafe\u0301", {"en"}, false},
        {"English with a Cyrillic word", "hello \u043C\u0438\u0440", {"en"}, false},
        {"English and Russian enabled", "hello \u043C\u0438\u0440", {"en", "ru"}, true},
        {"Japanese with a full-width comma", "\u3042\u308A\u304C\u3068\u3046\u3001\u6771\u4EAC", {"ja"}, true},
        {"CJK Extension A is not Japanese", "\u3400", {"ja"}, false},
        {"a code with no entry allows any letters", "\u041F\u0440\u0438\u0432\u0435\u0442", {"xx"}, true},
        {"no languages allow any letters", "abc", {}, true},
        {"an unknown code adds nothing to a known one", "\u043C\u0438\u0440", {"en", "xx"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rules.matchesEnabledScripts(c.text, c.languages), c.matches) << "case " << c.name;
    }
}

TEST_F(TranscriptRulesTest, EveryCatalogueLanguageHasAScript)
{
    const auto& table = TranscriptRules::scriptRanges();
    EXPECT_EQ(table.size(), QuilloLanguage::all().size());
    for (const auto& language : QuilloLanguage::all()) {
        const auto found = table.find(language.bcp47);
        ASSERT_NE(found, table.end()) << language.bcp47;
        // Each language's own name is written in its own script.
        const bool ownNameFits = rules.matchesEnabledScripts(language.native, {language.bcp47});
        const bool latinExtras = language.bcp47 == "vi" || language.bcp47 == "az"; // letters beyond U+024F
        EXPECT_EQ(ownNameFits, !latinExtras) << language.bcp47 << " " << language.native;
    }
}

TEST_F(TranscriptRulesTest, SnippetsExpandWholeWordsLongestFirst)
{
    using Snippets = std::vector<Snippet>;
    auto s = [](std::string trigger, std::string expansion) {
        return Snippet{"ID", std::move(trigger), std::move(expansion)};
    };
    struct Case
    {
        const char* name;
        Snippets snippets;
        std::string text;
        std::string expected;
    };
    const Snippets addr = {s("addr", "12 Main St")};
    const std::vector<Case> cases = {
        {"longer trigger first",
         {s("addr", "12 Main St"), s("addr home", "34 Oak Ave")},
         "my addr home",
         "my 34 Oak Ave"},
        {"any case, expansion as stored", addr, "Addr, ADDR and addr.", "12 Main St, 12 Main St and 12 Main St."},
        {"followed by a letter", addr, "address", "address"},
        {"preceded by an accented letter", addr, "\u00E9addr", "\u00E9addr"},
        {"preceded by the mark that folds to a letter", addr, "\u03B1\u0345addr", "\u03B1\u0345addr"},
        {"hyphen and underscore are not letters", addr, "x-addr _addr", "x-12 Main St _12 Main St"},
        {"pattern characters are literal",
         {s("(tm)", "\u2122")},
         "Brand (tm) and Brand(tm)",
         "Brand \u2122 and Brand(tm)"},
        {"dollar and backslash are literal", {s("price", "$5 off \\1 $0 \\")}, "price", "$5 off \\1 $0 \\"},
        {"non-ASCII trigger in any case", {s("caf\u00E9", "coffee")}, "CAF\u00C9 time", "coffee time"},
        {"a longer trigger that already ran misses a later expansion",
         {s("sig", "regards, addr"), s("addr", "12 Main St")},
         "sig",
         "regards, addr"},
        {"an expansion feeds a later trigger",
         {s("addr", "12 Main St"), s("myaddr", "home addr")},
         "myaddr",
         "home 12 Main St"},
        {"equal lengths keep stored order", {s("ABC", "second"), s("abc", "first")}, "abc", "second"},
        // "ééé" with combining accents is 3 characters but 6 code points; "é zz" is 4.
        {"length counted in characters",
         {s("e\u0301e\u0301e\u0301", "[three]"), s("e\u0301 zz", "[four]")},
         "e\u0301e\u0301e\u0301 zz",
         "e\u0301e\u0301[four]"},
        {"empty trigger is skipped", {s("", "X"), s("hi", "hello")}, "hi there", "hello there"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(snippets::applyInline(c.snippets, c.text), c.expected) << "case " << c.name;
    }
}

} // namespace
} // namespace quillo::test
