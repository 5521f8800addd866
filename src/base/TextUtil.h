#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillo::text {

// Horizontal white space: space separators (category Zs) and the tab.
bool isHorizontalSpace(char32_t c);
// Horizontal white space plus line breaks (LF, VT, FF, CR, NEL, LS, PS).
bool isWhitespaceOrNewline(char32_t c);

// Removes horizontal white space from both ends (line breaks stay).
std::string trimSpacesAndTabs(const std::string& utf8);
// Removes white space and line breaks from both ends.
std::string trimWhitespaceAndNewlines(const std::string& utf8);

// Maximal runs of characters that are neither white space nor line breaks.
std::size_t countWords(const std::string& utf8);

// The first `count` user-perceived characters (grapheme clusters).
std::string prefixCharacters(const std::string& utf8, std::size_t count);

// The number of user-perceived characters (grapheme clusters).
std::size_t countCharacters(const std::string& utf8);

// Drops C0 and C1 control characters and DEL, keeping tab, line feed and
// carriage return: service text must not carry terminal escape sequences
// into the paste, the history or a terminal.
std::string removeControlCharacters(const std::string& utf8);

// The length of the well-formed UTF-8 sequence that starts at utf8[i] (1 for
// ASCII), or 0 when it is malformed: overlong, a surrogate, beyond U+10FFFF or
// cut short. `i` must be inside `utf8`.
std::size_t utf8SequenceLength(std::string_view utf8, std::size_t i);
bool isValidUTF8(std::string_view bytes);

// Whether the last words are "press enter", "hit enter" or "send", in any
// letter case and followed by nothing but punctuation and white space.
bool endsWithEnterCommand(const std::string& utf8);

} // namespace quillo::text
