#include "transcription/TranscriptRules.h"

#include <algorithm>
#include <memory>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "base/TextUtil.h"
#include "transcription/QuilloLanguage.h"

namespace quillo {

namespace {

bool isQuotationMark(char16_t c)
{
    return c == u'"' || c == u'\'' || c == u'\u201C' || c == u'\u201D' || c == u'\u2018' || c == u'\u2019';
}

// Unicode general categories L (letters) and M (marks).
bool isLetterOrMark(UChar32 c)
{
    switch (u_charType(c)) {
    case U_UPPERCASE_LETTER:
    case U_LOWERCASE_LETTER:
    case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_COMBINING_SPACING_MARK:
        return true;
    default:
        return false;
    }
}

} // namespace

const std::vector<std::string>& TranscriptRules::refusalPhrases()
{
    static const std::vector<std::string> phrases = {
        "i'm sorry",
        "im sorry",
        "i am sorry",
        "sorry, but",
        "sorry, i",
        "i cannot",
        "i can't",
        "i can not",
        "cannot provide",
        "can't provide",
        "i'm unable",
        "i am unable",
        "unable to",
        "as an ai",
        "as a language model",
        "i'm not able",
        "i am not able",
        "not able to",
        "i won't",
        "i will not",
        "i don't",
        "i do not",
        "i'm afraid",
        "regret",
        "personal information",
        "privacy",
        "private information",
    };
    return phrases;
}

const std::map<std::string, std::vector<TranscriptRules::ScalarRange>>& TranscriptRules::scriptRanges()
{
    static const auto table = [] {
        const std::vector<ScalarRange> latin = {{0x0041, 0x024F}};
        const std::vector<ScalarRange> cyrillic = {{0x0400, 0x04FF}};
        std::map<std::string, std::vector<ScalarRange>> ranges;
        for (const char* code : {"en", "es", "fr", "de", "it", "pt", "nl", "pl", "cs", "sk", "ro", "hu", "tr", "vi",
                                 "id", "ms", "tl", "sv", "no", "da", "fi", "et", "lv", "lt", "hr", "sw", "az"}) {
            ranges[code] = latin;
        }
        for (const char* code : {"ru", "uk", "bg", "kk"}) {
            ranges[code] = cyrillic;
        }
        ranges["sr"] = {{0x0400, 0x04FF}, {0x0041, 0x024F}};
        ranges["el"] = {{0x0370, 0x03FF}};
        for (const char* code : {"ar", "fa", "ur"}) {
            ranges[code] = {{0x0600, 0x06FF}, {0x0750, 0x077F}};
        }
        ranges["he"] = {{0x0590, 0x05FF}};
        for (const char* code : {"hi", "mr", "ne"}) {
            ranges[code] = {{0x0900, 0x097F}};
        }
        ranges["bn"] = {{0x0980, 0x09FF}};
        ranges["pa"] = {{0x0A00, 0x0A7F}};
        ranges["gu"] = {{0x0A80, 0x0AFF}};
        ranges["ta"] = {{0x0B80, 0x0BFF}};
        ranges["te"] = {{0x0C00, 0x0C7F}};
        ranges["kn"] = {{0x0C80, 0x0CFF}};
        ranges["ml"] = {{0x0D00, 0x0D7F}};
        ranges["si"] = {{0x0D80, 0x0DFF}};
        ranges["th"] = {{0x0E00, 0x0E7F}};
        ranges["zh"] = {{0x4E00, 0x9FFF}, {0x3400, 0x4DBF}};
        ranges["ja"] = {{0x3040, 0x30FF}, {0x4E00, 0x9FFF}};
        ranges["ko"] = {{0xAC00, 0xD7AF}, {0x1100, 0x11FF}};
        return ranges;
    }();
    return table;
}

namespace {

// Trimmed of white space and quotation marks, lower-cased.
std::string normalisedForRefusal(const std::string& text)
{
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text::trimWhitespaceAndNewlines(text));
    int32_t begin = 0;
    int32_t end = unicode.length();
    while (begin < end && isQuotationMark(unicode.charAt(begin))) {
        ++begin;
    }
    while (end > begin && isQuotationMark(unicode.charAt(end - 1))) {
        --end;
    }
    unicode.retainBetween(begin, end);
    unicode.toLower(icu::Locale::getRoot());

    std::string lowered;
    unicode.toUTF8String(lowered);
    return lowered;
}

// Letters and digits only, words separated by one space, apostrophes
// dropped: the transcript often lacks the punctuation the model adds, so
// "sorry, i" in the answer must find "sorry i" in the transcript.
std::string wordsOnly(const std::string& lowered)
{
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(lowered);
    icu::UnicodeString words;
    bool gap = false;
    for (int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
        const UChar32 c = unicode.char32At(i);
        if (c == u'\'' || c == 0x2019) {
            continue;
        }
        if (u_isalnum(c)) {
            if (gap && !words.isEmpty()) {
                words.append(u' ');
            }
            words.append(c);
            gap = false;
        } else {
            gap = true;
        }
    }
    std::string result;
    words.toUTF8String(result);
    return result;
}

} // namespace

bool TranscriptRules::isRefusal(const std::string& answer, const std::string& transcript)
{
    const std::string head = text::prefixCharacters(normalisedForRefusal(answer), kRefusalHeadCharacters);
    const std::string spoken = wordsOnly(normalisedForRefusal(transcript));

    const auto& phrases = refusalPhrases();
    return std::any_of(phrases.begin(), phrases.end(), [&](const std::string& phrase) {
        return head.find(phrase) != std::string::npos && spoken.find(wordsOnly(phrase)) == std::string::npos;
    });
}

bool TranscriptRules::matchesEnabledScripts(const std::string& text, const LanguageSet& languages)
{
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    std::vector<UChar32> letters;
    for (int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
        const UChar32 c = unicode.char32At(i);
        if (isLetterOrMark(c)) {
            letters.push_back(c);
        }
    }
    if (letters.empty()) {
        return false;
    }

    std::vector<ScalarRange> allowed;
    for (const auto& code : languages) {
        if (const auto found = scriptRanges().find(code); found != scriptRanges().end()) {
            allowed.insert(allowed.end(), found->second.begin(), found->second.end());
        }
    }
    if (allowed.empty()) {
        return true;
    }

    return std::all_of(letters.begin(), letters.end(), [&allowed](UChar32 c) {
        const auto scalar = static_cast<char32_t>(c);
        return std::any_of(allowed.begin(), allowed.end(), [scalar](const ScalarRange& range) {
            return scalar >= range.lower && scalar <= range.upper;
        });
    });
}

} // namespace quillo
