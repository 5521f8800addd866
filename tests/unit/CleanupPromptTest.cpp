#include "transcription/CleanupPrompt.h"

#include <gtest/gtest.h>

namespace quillo::test {
namespace {

using namespace quillo::cleanup;

std::string join(std::initializer_list<std::string_view> parts)
{
    std::string text;
    for (auto part : parts) {
        text += part;
    }
    return text;
}

// The command tables name the characters the model is to write; a raw CR or
// tab in a prompt would reach the request as one.
TEST(CleanupPromptTest, FixedTextsNameControlCharactersWithoutContainingThem)
{
    for (const std::string_view text : {kEnglishPrompt,
                                        kMultilingualOpening,
                                        kMultilingualRules,
                                        kDictionaryHeading,
                                        kInstructionsHeading,
                                        kFinalRule}) {
        EXPECT_EQ(text.find_first_of("\r\t"), std::string_view::npos) << text.substr(0, 40);
    }
    EXPECT_NE(kEnglishPrompt.find("\u2192 newline (\\n)\n"), std::string_view::npos);
    EXPECT_NE(kEnglishPrompt.find("(when clearly a command at the end) \u2192 \\r\n"), std::string_view::npos);
}

TEST(CleanupPromptTest, AssemblyFollowsTheLanguagesDictionaryAndInstructions)
{
    struct Case
    {
        const char* name;
        LanguageSet languages;
        std::vector<std::string> words;
        std::string instructions;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"English with an unknown code is multilingual",
         {"en", "xx"},
         {},
         "",
         join({kMultilingualOpening, "English", kMultilingualRules, kFinalRule})},
        {"words and instructions; languages in catalogue order",
         {"en", "bn"},
         {"Qt"},
         "Use British spelling.\n",
         join({kMultilingualOpening,
               "English, Bengali (\u09AC\u09BE\u0982\u09B2\u09BE)",
               kMultilingualRules,
               kDictionaryHeading,
               "  \u2022 Qt",
               kInstructionsHeading,
               "Use British spelling.\n",
               kFinalRule})},
        {"instructions of one space still count",
         {"en"},
         {},
         " ",
         join({kEnglishPrompt, kInstructionsHeading, " ", kFinalRule})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(systemPrompt(c.languages, c.words, c.instructions), c.expected) << "case " << c.name;
    }
}

} // namespace
} // namespace quillo::test
