#pragma once

#include <map>
#include <string>
#include <vector>

#include "transcription/TextRules.h"

namespace quillo {

// The refusal guard, the script test and snippet expansion, on ICU.
class TranscriptRules final : public TextRules
{
public:
    // Closed range of Unicode scalar values.
    struct ScalarRange
    {
        char32_t lower;
        char32_t upper;
    };

    // Lower-case phrases that mark a model answering instead of formatting.
    static const std::vector<std::string>& refusalPhrases();
    // The writing systems of every catalogue language.
    static const std::map<std::string, std::vector<ScalarRange>>& scriptRanges();

    // Only the first this many characters of an answer are searched, so a
    // long dictation that mentions a phrase later is still formatted.
    static constexpr std::size_t kRefusalHeadCharacters = 100;

    // After trimming white space and quotation marks and lower-casing, the
    // first 100 characters of the answer contain one of the phrases anywhere,
    // and the whole transcript does not: a phrase the user spoke is formatted
    // text, not the model declining.
    bool isRefusal(const std::string& answer, const std::string& transcript) const override;
    // There is at least one letter (categories L and M) and every letter lies
    // in a range of an enabled language; a set with no known code allows all.
    bool matchesEnabledScripts(const std::string& text, const LanguageSet& languages) const override;
    // Longest trigger first (stable among equal lengths); each trigger matches
    // case-insensitively and literally where no letter or digit touches it,
    // and is replaced by the expansion exactly as stored. Empty triggers are
    // skipped: they would match at every word boundary.
    std::string applySnippets(const std::vector<Snippet>& snippets, const std::string& text) const override;
};

} // namespace quillo
