#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/TextUtil.h"

// A strict JSON scanner over text in memory, for readers that know the shape
// they expect: it reads strings and numbers where the caller asks for them and
// checks and skips any other value.

namespace quillo::json {

// Bytes that end a run of string text that can be copied as it is, in either
// direction: the quote, the backslash, control characters and every byte of a
// multi-byte UTF-8 sequence (checked separately). A table keeps the hot loops
// over the history's texts to one load and test per byte.
inline constexpr auto kStopsRun = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<std::size_t>(c)] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
    }
    return table;
}();

inline std::size_t endOfPlainRun(std::string_view s, std::size_t i)
{
    while (i < s.size() && !kStopsRun[static_cast<unsigned char>(s[i])]) {
        ++i;
    }
    return i;
}

// The two-character escapes, as pairs of the escaped letter and the byte.
inline constexpr std::string_view kShortEscapes = "\"\"\\\\//b\bf\fn\nr\rt\t";

class FormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxDepth = 512; // nesting allowed inside unknown members

class Reader
{
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    char peek()
    {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == ' ' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r' || m_text[m_pos] == '\t')) {
            ++m_pos;
        }
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }

    // Skips white space, then consumes `c` if it comes next.
    bool consume(char c)
    {
        if (peek() == c && m_pos < m_text.size()) {
            ++m_pos;
            return true;
        }
        return false;
    }

    void expect(char c)
    {
        if (!consume(c)) {
            fail(std::string("expected '") + c + "'");
        }
    }

    void expectEnd()
    {
        if (peek(), m_pos != m_text.size()) {
            fail("unexpected text after the array");
        }
    }

    // Reads a string into `out` (replacing its contents).
    void readString(std::string& out)
    {
        out.clear();
        expect('"');
        for (;;) {
            const std::size_t run = endOfPlainRun(m_text, m_pos);
            out.append(m_text.data() + m_pos, run - m_pos);
            m_pos = run;
            if (m_pos == m_text.size()) {
                fail("unterminated string");
            }
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                ++m_pos;
                return;
            }
            if (c < 0x20) {
                fail("control character in a string");
            }
            if (c >= 0x80) {
                const std::size_t length = text::utf8SequenceLength(m_text, m_pos);
                if (length == 0) {
                    fail("invalid UTF-8");
                }
                out.append(m_text.data() + m_pos, length);
                m_pos += length;
                continue;
            }
            readEscape(out);
        }
    }

    bool nextIsNumber()
    {
        const char c = peek();
        return c == '-' || (c >= '0' && c <= '9');
    }

    double readNumber()
    {
        peek();
        const std::size_t begin = m_pos;
        consumeIf('-');
        // No further integer digits may follow a leading zero.
        if (!consumeIf('0') && !consumeDigits()) {
            fail("malformed number");
        }
        if (consumeIf('.') && !consumeDigits()) {
            fail("malformed number");
        }
        if (consumeIf('e') || consumeIf('E')) {
            if (!consumeIf('+')) {
                consumeIf('-');
            }
            if (!consumeDigits()) {
                fail("malformed number");
            }
        }
        const char* first = m_text.data() + begin;
        const char* last = m_text.data() + m_pos;
        double value = 0;
        const auto [end, error] = std::from_chars(first, last, value);
        if (error == std::errc::result_out_of_range) {
            // Too large or too small for a double: what strtod makes of it
            // (infinity or zero), as any JSON reader would.
            return std::strtod(std::string(first, last).c_str(), nullptr);
        }
        if (error != std::errc() || end != last) {
            fail("malformed number");
        }
        return value;
    }

    // Skips one value of any type, checking that it is well-formed.
    void skipValue(int depth = 0)
    {
        if (depth > kMaxDepth) {
            fail("nested too deeply");
        }
        const char c = peek();
        if (c == '"') {
            readString(m_scratch);
        } else if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++m_pos;
            if (consume(close)) {
                return;
            }
            do {
                if (c == '{') {
                    readString(m_scratch);
                    expect(':');
                }
                skipValue(depth + 1);
            } while (consume(','));
            expect(close);
        } else if (c == 't' || c == 'f' || c == 'n') {
            const std::string_view word = c == 't' ? "true" : c == 'f' ? "false" : "null";
            if (m_text.substr(m_pos, word.size()) != word) {
                fail("unexpected character");
            }
            m_pos += word.size();
        } else {
            readNumber();
        }
    }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw FormatError(what + " at byte " + std::to_string(m_pos));
    }

private:
    bool consumeIf(char c)
    {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool consumeDigits()
    {
        const std::size_t begin = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') {
            ++m_pos;
        }
        return m_pos > begin;
    }

    char32_t readHex4()
    {
        // from_chars alone would also take a sign or fewer than four digits.
        unsigned value = 0;
        const char* first = m_text.data() + m_pos;
        if (m_pos + 4 > m_text.size() || *first == '-' || *first == '+' ||
            std::from_chars(first, first + 4, value, 16).ptr != first + 4) {
            fail("malformed \\u escape");
        }
        m_pos += 4;
        return value;
    }

    void readEscape(std::string& out)
    {
        ++m_pos; // the backslash
        if (m_pos == m_text.size()) {
            fail("unterminated string");
        }
        const char c = m_text[m_pos++];
        if (c != 'u') {
            const auto escape = kShortEscapes.find(c);
            if (escape == std::string_view::npos || escape % 2 == 1) {
                fail("unknown escape");
            }
            out.push_back(kShortEscapes[escape + 1]);
            return;
        }
        char32_t code = readHex4();
        if (code >= 0xD800 && code <= 0xDBFF && m_text.substr(m_pos, 2) == "\\u") {
            m_pos += 2;
            const char32_t low = readHex4();
            if (low < 0xDC00 || low > 0xDFFF) {
                fail("unpaired surrogate");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            fail("unpaired surrogate");
        }
        // UTF-8: one byte below 0x80, else a lead byte and 6-bit continuations.
        const int continuations = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
        constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
        out.push_back(static_cast<char>(kLead[continuations] | (code >> (6 * continuations))));
        for (int k = continuations - 1; k >= 0; --k) {
            out.push_back(static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F)));
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_scratch; // strings that are skipped
};

} // namespace quillo::json
