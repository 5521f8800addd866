#pragma once

#include <map>
#include <string>
#include <vector>

#include "transcription/QuilloLanguage.h"

namespace quillo {

// The refusal guard, the script test and snippet expansion, on ICU.
class TranscriptRules final
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
    static bool isRefusal(const std::string& answer, const std::string& transcript);
    // There is at least one letter (categories L and M) and every letter lies
    // in a range of an enabled language; a set with no known code allows all.
    static bool matchesEnabledScripts(const std::string& text, const LanguageSet& languages);
};

} // namespace quillo
