#include "base/SnippetRules.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include <unicode/locid.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "base/TextUtil.h"

namespace quillo::snippets {

namespace {

std::string lowercased(const std::string& utf8)
{
    std::string result;
    icu::UnicodeString::fromUTF8(utf8).toLower(icu::Locale::getRoot()).toUTF8String(result);
    return result;
}

// Every character but ASCII letters and digits as \x{...}, so that nothing in
// a trigger is read as regular-expression syntax.
icu::UnicodeString literalPattern(const icu::UnicodeString& text)
{
    icu::UnicodeString pattern;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 c = text.char32At(i);
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) {
            pattern.append(c);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\x{%X}", static_cast<unsigned>(c));
            pattern.append(icu::UnicodeString(escaped, -1, icu::UnicodeString::kInvariant));
        }
    }
    return pattern;
}

icu::UnicodeString
replaceWholeWords(const icu::UnicodeString& text, const std::string& trigger, const icu::UnicodeString& expansion)
{
    // Only the trigger is case-insensitive: closing the whole \p{L} and \p{N}
    // sets over case costs milliseconds per pattern, and adds nothing to them
    // but U+0345 (a combining mark that folds to iota), listed here instead.
    icu::UnicodeString pattern(u"(?<![\\p{L}\\p{N}\\x{345}])(?i:");
    pattern.append(literalPattern(icu::UnicodeString::fromUTF8(trigger)));
    pattern.append(u")(?![\\p{L}\\p{N}\\x{345}])");

    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(pattern, 0, where, status));
    if (U_FAILURE(status) || !compiled) {
        return text; // a trigger that cannot be matched expands nowhere
    }
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(text, status));
    if (U_FAILURE(status) || !matcher) {
        return text;
    }

    // Copied piece by piece rather than through a replacement template, so
    // "$" and "\" in the expansion are plain characters.
    icu::UnicodeString result;
    int32_t copied = 0;
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        result.append(text, copied, start - copied);
        result.append(expansion);
        copied = end;
    }
    if (U_FAILURE(status)) {
        return text;
    }
    result.append(text, copied, text.length() - copied);
    return result;
}

} // namespace

std::optional<std::string> expandWhole(const std::vector<Snippet>& snippets, const std::string& text)
{
    const std::string key = text::trimWhitespaceAndNewlines(lowercased(text));
    for (const Snippet& snippet : snippets) {
        if (lowercased(snippet.trigger) == key) {
            return snippet.expansion;
        }
    }
    return std::nullopt;
}

std::string applyInline(const std::vector<Snippet>& snippets, const std::string& text)
{
    struct Candidate
    {
        const Snippet* snippet;
        std::size_t length;
    };
    std::vector<Candidate> ordered;
    for (const auto& snippet : snippets) {
        if (!snippet.trigger.empty()) {
            ordered.push_back({&snippet, text::countCharacters(snippet.trigger)});
        }
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const Candidate& a, const Candidate& b) {
        return a.length > b.length;
    });

    icu::UnicodeString current = icu::UnicodeString::fromUTF8(text);
    for (const auto& candidate : ordered) {
        current = replaceWholeWords(current,
                                    candidate.snippet->trigger,
                                    icu::UnicodeString::fromUTF8(candidate.snippet->expansion));
    }
    std::string result;
    current.toUTF8String(result);
    return result;
}

} // namespace quillo::snippets
