#pragma once

#include <string>
#include <vector>

#include "base/Snippet.h"
#include "transcription/QuilloLanguage.h"

namespace quillo {

// The text tests and rewrites the pipeline applies to a transcript.
//
// Threading: any thread; implementations hold no mutable state.
class TextRules
{
public:
    virtual ~TextRules() = default;
    // The model answered the transcript instead of formatting it.
    virtual bool isRefusal(const std::string& answer, const std::string& transcript) const = 0;
    // The text's letters are all in scripts of the enabled languages.
    virtual bool matchesEnabledScripts(const std::string& text, const LanguageSet& languages) const = 0;
    // Replaces every trigger with its expansion.
    virtual std::string applySnippets(const std::vector<Snippet>& snippets, const std::string& text) const = 0;
};

} // namespace quillo
