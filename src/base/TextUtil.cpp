#include "base/TextUtil.h"

#include <cctype>
#include <memory>
#include <string_view>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

// ICU's UTF-8 stepping macros cast in C style inside their expansion.
#pragma GCC diagnostic ignored "-Wold-style-cast"

namespace quillo::text {

namespace {

template <typename Predicate> std::string trim(const std::string& s, Predicate isTrimmed)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    const auto length = static_cast<int32_t>(s.size());

    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c = 0;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !isTrimmed(static_cast<char32_t>(c))) {
            break;
        }
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(bytes, 0, previous, c);
        if (c < 0 || !isTrimmed(static_cast<char32_t>(c))) {
            break;
        }
        end = previous;
    }
    return s.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

} // namespace

bool isHorizontalSpace(char32_t c)
{
    return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isWhitespaceOrNewline(char32_t c)
{
    return isHorizontalSpace(c) || (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::string trimSpacesAndTabs(const std::string& utf8)
{
    return trim(utf8, isHorizontalSpace);
}

std::string trimWhitespaceAndNewlines(const std::string& utf8)
{
    return trim(utf8, isWhitespaceOrNewline);
}

std::size_t countWords(const std::string& utf8)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    std::size_t words = 0;
    bool inWord = false;
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        const bool space = c >= 0 && isWhitespaceOrNewline(static_cast<char32_t>(c));
        if (!space && !inWord) {
            ++words;
        }
        inWord = !space;
    }
    return words;
}

std::string prefixCharacters(const std::string& utf8, std::size_t count)
{
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(utf8);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> graphemes(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !graphemes) {
        return utf8.substr(0, count);
    }
    graphemes->setText(unicode);
    int32_t end = graphemes->first();
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t next = graphemes->next();
        if (next == icu::BreakIterator::DONE) {
            break;
        }
        end = next;
    }
    std::string result;
    unicode.tempSubString(0, end).toUTF8String(result);
    return result;
}

std::size_t countCharacters(const std::string& utf8)
{
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(utf8);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> graphemes(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !graphemes) {
        return static_cast<std::size_t>(unicode.countChar32());
    }
    graphemes->setText(unicode);
    std::size_t count = 0;
    graphemes->first();
    while (graphemes->next() != icu::BreakIterator::DONE) {
        ++count;
    }
    return count;
}

std::string removeControlCharacters(const std::string& utf8)
{
    std::string result;
    result.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
            continue;
        }
        // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
        if (c == 0xC2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                ++i;
                continue;
            }
        }
        result += utf8[i];
    }
    return result;
}

std::size_t utf8SequenceLength(std::string_view utf8, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // bounds of the second byte, which rule out
    unsigned char high = 0xBF; // overlong forms, surrogates and > U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > utf8.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool isValidUTF8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool endsWithEnterCommand(const std::string& utf8)
{
    std::string words; // lower-case ASCII letters and digits, single spaces, read backwards
    for (auto it = utf8.rbegin(); it != utf8.rend() && words.size() < 12; ++it) {
        const auto c = static_cast<unsigned char>(*it);
        if (std::isalnum(c)) {
            words.insert(words.begin(), static_cast<char>(std::tolower(c)));
        } else if (c >= 0x80) {
            break; // a letter of another script ends the command words
        } else if (!words.empty() && words.front() != ' ') {
            words.insert(words.begin(), ' ');
        }
    }
    auto endsWith = [&words](std::string_view command) {
        return words.size() >= command.size() &&
               words.compare(words.size() - command.size(), command.size(), command) == 0 &&
               (words.size() == command.size() || words[words.size() - command.size() - 1] == ' ');
    };
    return endsWith("press enter") || endsWith("hit enter") || endsWith("send");
}

} // namespace quillo::text
