#include "base/TextUtil.h"

#include <gtest/gtest.h>

namespace quillo::test {
namespace {

TEST(TextUtil, TrimmingDistinguishesHorizontalSpaceFromLineBreaks)
{
    EXPECT_EQ(text::trimSpacesAndTabs(" \t\u00A0hi there\u3000 "), "hi there");
    EXPECT_EQ(text::trimSpacesAndTabs("\nhi\n"), "\nhi\n");
    EXPECT_EQ(text::trimWhitespaceAndNewlines("\r\n\t hi \u2028\u0085"), "hi");
    EXPECT_EQ(text::trimWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(text::trimWhitespaceAndNewlines("a"), "a");
}

TEST(TextUtil, WordsAreRunsBetweenAnyWhiteSpace)
{
    EXPECT_EQ(text::countWords(""), 0u);
    EXPECT_EQ(text::countWords(" \n\t "), 0u);
    EXPECT_EQ(text::countWords("one"), 1u);
    EXPECT_EQ(text::countWords("  one  two\nthree\tfour\u00A0five "), 5u);
    EXPECT_EQ(text::countWords("naïve café"), 2u);
}

TEST(TextUtil, PrefixCountsUserPerceivedCharacters)
{
    EXPECT_EQ(text::prefixCharacters("hello", 3), "hel");
    EXPECT_EQ(text::prefixCharacters("hi", 40), "hi");
    // "e" + combining acute is one character; a flag is one character of 8 bytes.
    EXPECT_EQ(text::prefixCharacters("e\u0301a", 1), "e\u0301");
    EXPECT_EQ(text::prefixCharacters("\U0001F1E9\U0001F1EAx", 1), "\U0001F1E9\U0001F1EA");
    EXPECT_EQ(text::prefixCharacters("日本語", 2), "日本");
}

} // namespace
} // namespace quillo::test
