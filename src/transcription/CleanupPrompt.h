#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transcription/QuilloLanguage.h"
#include "transcription/SpeechServices.h"

namespace quillo::cleanup {

inline constexpr double kTemperature = 0.2;
// Enough room for any short dictation; longer ones get room in proportion.
inline constexpr int kMinMaxTokens = 600;
// What the clean-up model can write in one answer.
inline constexpr int kMaxMaxTokens = 16384;

// The answer's token budget for this transcript: a token is at least one
// byte of UTF-8 in every script, plus a quarter for the punctuation and line
// breaks the model adds, so the whole text always fits.
int maxTokens(const std::string& rawTranscript);

// The fixed texts the system prompt is built from, byte for byte.
extern const std::string_view kEnglishPrompt;       // the whole base for English alone
extern const std::string_view kMultilingualOpening; // then the language list ...
extern const std::string_view kMultilingualRules;   // ... then these rules
extern const std::string_view kDictionaryHeading;   // then one bullet line per word
extern const std::string_view kInstructionsHeading; // then the user's instructions
extern const std::string_view kFinalRule;           // always last

// The enabled languages in catalogue order, as the model is told them:
// "English, Bengali (বাংলা)". Codes outside the catalogue are left out.
std::string languageList(const LanguageSet& languages);

// The system message of the clean-up request.
std::string systemPrompt(const LanguageSet& languages,
                         const std::vector<std::string>& dictionaryWords,
                         const std::string& instructions);

// The chat-completion request body, compact JSON. Throws JsonError when a
// text is not valid UTF-8.
std::string requestBody(const std::string& systemPrompt, const std::string& rawTranscript);

// The model's content from a chat-completion answer, untrimmed, with the
// choice's finish_reason. Throws JsonError when the body is not JSON and
// DictationError::parse when the content is not where it belongs.
CleanupAnswer parseAnswer(const std::string& responseBody);

} // namespace quillo::cleanup
