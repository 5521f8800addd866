#pragma once

#include <optional>
#include <string>

#include "base/DictationResult.h"
#include "transcription/QuilloLanguage.h"

namespace quillo {

// Turns one finished recording into the text to paste.
//
// Threading: called off the main thread; blocks on the network. Calls may
// overlap.
// Failure: throws DictationError, FileReadError, or the transport and JSON
// errors of the layers below, unchanged.
class Transcriber
{
public:
    virtual ~Transcriber() = default;
    virtual DictationResult transcribeAndClean(const std::string& audioPath,
                                               const LanguageSet& languages,
                                               const std::optional<std::string>& streamedTranscript) = 0;
};

} // namespace quillo
