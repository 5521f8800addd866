#include "transcription/CleanupPrompt.h"

#include <gtest/gtest.h>
#include <tuple>

namespace quillo::test {
namespace {

using namespace quillo::cleanup;

template <typename... Parts> std::string join(Parts... parts)
{
    return (std::string(parts) + ...);
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
}

TEST(CleanupPromptTest, AssemblyFollowsTheLanguagesDictionaryAndInstructions)
{
    // Languages, dictionary words, instructions, the prompt.
    using Case = std::tuple<LanguageSet, std::vector<std::string>, std::string, std::string>;
    const std::vector<Case> cases = {
        // English with an unknown code is multilingual.
        {{"en", "xx"}, {}, "", join(kMultilingualOpening, "English", kMultilingualRules, kFinalRule)},
        // Words and instructions; the languages in catalogue order.
        {{"en", "bn"},
         {"Qt"},
         "Use British spelling.\n",
         join(kMultilingualOpening,
              "English, Bengali (\u09AC\u09BE\u0982\u09B2\u09BE)",
              kMultilingualRules,
              kDictionaryHeading,
              "  \u2022 Qt",
              kInstructionsHeading,
              "Use British spelling.\n",
              kFinalRule)},
        // Instructions of one space still count.
        {{"en"}, {}, " ", join(kEnglishPrompt, kInstructionsHeading, " ", kFinalRule)},
    };
    for (const auto& [languages, words, instructions, expected] : cases) {
        EXPECT_EQ(systemPrompt(languages, words, instructions), expected) << "case " << instructions;
    }
}

} // namespace
} // namespace quillo::test
