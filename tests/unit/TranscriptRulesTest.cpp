#include "transcription/TranscriptRules.h"
#include "base/SnippetRules.h"

#include <tuple>

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

TEST(TranscriptRulesTest, RefusalsAreThePhrasesOfTheModelNotOfTheSpeaker)
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
        {"inside a longer word", "Regrettably the train was late.", true},
        {"phrase ending at the 100th character", repeat("a", 94) + "regret", true},
        {"phrase cut by the 100th character", repeat("a", 95) + "regret", false},
        // Characters, not bytes: e + combining accent is one character of three bytes.
        {"head counted in characters", repeat("e\u0301", 94) + "regret", true},
        // Everyday speech that holds a phrase: the model formatted it.
        {"spoken i don't", "I don't think we need the meeting.", false, "i don't think we need the meeting"},
        {"spoken phrase late in the transcript", "Sorry, I was late.", false, repeat("so ", 60) + "sorry i was late"},
        {"model apologises for another reason", "I'm sorry, but I can't help with that.", true, "i can't find it"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TranscriptRules::isRefusal(c.answer, c.transcript), c.refusal) << "case " << c.name;
    }
}

TEST(TranscriptRulesTest, ScriptTestChecksEveryLetterAndMarkOfEveryCatalogueLanguage)
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
        {"combining accent is a letter outside Latin", "Cafe\u0301", {"en"}, false},
        {"English with a Cyrillic word", "hello \u043C\u0438\u0440", {"en"}, false},
        {"English and Russian enabled", "hello \u043C\u0438\u0440", {"en", "ru"}, true},
        {"Japanese with a full-width comma", "\u3042\u308A\u304C\u3068\u3046\u3001\u6771\u4EAC", {"ja"}, true},
        {"a code with no entry allows any letters", "\u041F\u0440\u0438\u0432\u0435\u0442", {"xx"}, true},
        {"an unknown code adds nothing to a known one", "\u043C\u0438\u0440", {"en", "xx"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TranscriptRules::matchesEnabledScripts(c.text, c.languages), c.matches) << "case " << c.name;
    }

    // Every language of the catalogue has a script, and its own name is written in it.
    EXPECT_EQ(TranscriptRules::scriptRanges().size(), QuilloLanguage::all().size());
    for (const auto& language : QuilloLanguage::all()) {
        const bool latinExtras = language.bcp47 == "vi" || language.bcp47 == "az"; // letters beyond U+024F
        EXPECT_EQ(TranscriptRules::matchesEnabledScripts(language.native, {language.bcp47}), !latinExtras)
            << language.bcp47 << " " << language.native;
        EXPECT_TRUE(TranscriptRules::scriptRanges().count(language.bcp47)) << language.bcp47;
    }
}

TEST(TranscriptRulesTest, SnippetsExpandWholeWordsLongestFirst)
{
    using Snippets = std::vector<Snippet>;
    auto s = [](std::string trigger, std::string expansion) {
        return Snippet{"ID", std::move(trigger), std::move(expansion)};
    };
    const Snippets addr = {s("addr", "12 Main St")};
    const std::vector<std::tuple<const char*, Snippets, std::string, std::string>> cases = {
        {"longer trigger first", {s("addr", "12 Main St"), s("addr home", "34 Oak")}, "my addr home", "my 34 Oak"},
        {"any case, expansion as stored", addr, "Addr, ADDR and addr.", "12 Main St, 12 Main St and 12 Main St."},
        {"followed by a letter", addr, "address", "address"},
        {"preceded by an accented letter", addr, "\u00E9addr", "\u00E9addr"},
        {"hyphen and underscore are not letters", addr, "x-addr _addr", "x-12 Main St _12 Main St"},
        {"pattern characters are literal", {s("(tm)", "\u2122")}, "X (tm) and X(tm)", "X \u2122 and X(tm)"},
        {"dollar and backslash are literal", {s("price", "$5 off \\1 $0 \\")}, "price", "$5 off \\1 $0 \\"},
        {"non-ASCII trigger in any case", {s("caf\u00E9", "coffee")}, "CAF\u00C9 time", "coffee time"},
        {"an expansion feeds a later trigger", {s("addr", "12 Main St"), s("myaddr", "addr")}, "myaddr", "12 Main St"},
        {"equal lengths keep stored order", {s("ABC", "second"), s("abc", "first")}, "abc", "second"},
        // "ééé" with combining accents is 3 characters but 6 code points; "é zz" is 4.
        {"length in characters",
         {s("e\u0301e\u0301e\u0301", "3"), s("e\u0301 zz", "[4]")},
         "e\u0301e\u0301e\u0301 zz",
         "e\u0301e\u0301[4]"},
        {"empty trigger is skipped", {s("", "X"), s("hi", "hello")}, "hi there", "hello there"},
    };
    for (const auto& [name, list, text, expected] : cases) {
        EXPECT_EQ(snippets::applyInline(list, text), expected) << "case " << name;
    }
}

} // namespace
} // namespace quillo::test
