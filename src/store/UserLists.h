#pragma once

#include <string>
#include <vector>

#include "base/Snippet.h"

namespace quillo {

// The user's snippets and dictionary words as the transcription pipeline reads
// them, afresh for each dictation.
//
// Threading: any thread.
class UserLists
{
public:
    virtual ~UserLists() = default;
    virtual std::vector<Snippet> snippets() const = 0;
    virtual std::vector<std::string> dictionaryWords() const = 0;
};

} // namespace quillo
