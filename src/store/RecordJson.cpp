#include "store/RecordJson.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "store/Uuid.h"

// The history file is rewritten on every dictation and read at every start,
// and grows without bound (100,000 entries is some 35 MB). A general JSON
// library builds a document tree first and is several times too slow for that,
// so both directions are written out here for exactly these two shapes, while
// still accepting any valid JSON (unknown members of any type are skipped)
// and rejecting anything that is not.

namespace quillo {

namespace {

class FormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// --------------------------------------------------------------- writing

constexpr char kHex[] = "0123456789abcdef";

// Bytes that end a run of string text that can be copied as it is, in either
// direction: the quote, the backslash, control characters and every byte of a
// multi-byte UTF-8 sequence (checked separately). A table keeps the hot loops
// over the history's texts to one load and test per byte.
constexpr auto kStopsRun = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<std::size_t>(c)] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
    }
    return table;
}();

std::size_t endOfPlainRun(std::string_view s, std::size_t i)
{
    while (i < s.size() && !kStopsRun[static_cast<unsigned char>(s[i])]) {
        ++i;
    }
    return i;
}
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD"; // U+FFFD

// The length of the well-formed UTF-8 sequence at s[i] (which is >= 0x80),
// or 0 when it is malformed: overlong, a surrogate, beyond U+10FFFF or cut.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        secondMin = lead == 0xE0 ? 0xA0 : 0x80;
        secondMax = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        secondMin = lead == 0xF0 ? 0x90 : 0x80;
        secondMax = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < secondMin || byte(i + 1) > secondMax) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void appendString(std::string& out, std::string_view s)
{
    out.push_back('"');
    std::size_t i = 0;
    while (i < s.size()) {
        // Copy the longest run that needs no attention in one go.
        const std::size_t run = endOfPlainRun(s, i);
        out.append(s.data() + i, run - i);
        i = run;
        if (i == s.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            // Invalid UTF-8 would make the file unreadable; it becomes U+FFFD.
            const std::size_t length = utf8SequenceLength(s, i);
            if (length == 0) {
                out += kReplacementCharacter;
                ++i;
            } else {
                out.append(s.data() + i, length);
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            out += "\\u00";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
        ++i;
    }
    out.push_back('"');
}

void appendNumber(std::string& out, double value)
{
    // JSON has no infinity or NaN; neither can come from a clock or a file.
    if (!std::isfinite(value)) {
        value = 0;
    }
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value); // shortest exact form
    out.append(buffer, error == std::errc() ? end : buffer);
}

void appendMember(std::string& out, bool first, const char* key)
{
    if (!first) {
        out.push_back(',');
    }
    out.push_back('"');
    out += key;
    out += "\":";
}

void appendEntry(std::string& out, const DictationEntry& entry)
{
    out.push_back('{');
    appendMember(out, true, "id");
    appendString(out, entry.id());
    appendMember(out, false, "text");
    appendString(out, entry.text());
    appendMember(out, false, "date");
    appendNumber(out, entry.date());
    appendMember(out, false, "duration");
    appendNumber(out, entry.duration());
    if (entry.appBundleID()) {
        appendMember(out, false, "appBundleID");
        appendString(out, *entry.appBundleID());
    }
    if (entry.appName()) {
        appendMember(out, false, "appName");
        appendString(out, *entry.appName());
    }
    out.push_back('}');
}

void appendSnippet(std::string& out, const Snippet& snippet)
{
    out.push_back('{');
    appendMember(out, true, "id");
    appendString(out, snippet.id);
    appendMember(out, false, "trigger");
    appendString(out, snippet.trigger);
    appendMember(out, false, "expansion");
    appendString(out, snippet.expansion);
    out.push_back('}');
}

// --------------------------------------------------------------- reading

constexpr int kMaxDepth = 512; // nesting allowed inside unknown members

class Reader
{
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    void skipSpace()
    {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
                return;
            }
            ++m_pos;
        }
    }

    // Skips white space, then consumes `c` if it comes next.
    bool consume(char c)
    {
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
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

    std::size_t position() const { return m_pos; }

    char peek()
    {
        skipSpace();
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }

    void expectEnd()
    {
        skipSpace();
        if (m_pos != m_text.size()) {
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
                const std::size_t length = utf8SequenceLength(m_text, m_pos);
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

    double readNumber()
    {
        skipSpace();
        const std::size_t begin = m_pos;
        consumeIf('-');
        if (consumeIf('0')) {
            // no further integer digits may follow a leading zero
        } else if (!consumeDigits()) {
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
        switch (peek()) {
        case '"':
            readString(m_scratch);
            return;
        case '{':
            ++m_pos;
            if (consume('}')) {
                return;
            }
            do {
                readString(m_scratch);
                expect(':');
                skipValue(depth + 1);
            } while (consume(','));
            expect('}');
            return;
        case '[':
            ++m_pos;
            if (consume(']')) {
                return;
            }
            do {
                skipValue(depth + 1);
            } while (consume(','));
            expect(']');
            return;
        case 't':
            expectWord("true");
            return;
        case 'f':
            expectWord("false");
            return;
        case 'n':
            expectWord("null");
            return;
        default:
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

    void expectWord(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word) {
            fail("unexpected character");
        }
        m_pos += word.size();
    }

    unsigned readHex4()
    {
        if (m_pos + 4 > m_text.size()) {
            fail("short \\u escape");
        }
        unsigned value = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                fail("malformed \\u escape");
            }
        }
        return value;
    }

    void readEscape(std::string& out)
    {
        ++m_pos; // the backslash
        if (m_pos == m_text.size()) {
            fail("unterminated string");
        }
        const char c = m_text[m_pos++];
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out.push_back(c);
            return;
        case 'b':
            out.push_back('\b');
            return;
        case 'f':
            out.push_back('\f');
            return;
        case 'n':
            out.push_back('\n');
            return;
        case 'r':
            out.push_back('\r');
            return;
        case 't':
            out.push_back('\t');
            return;
        case 'u':
            break;
        default:
            fail("unknown escape");
        }
        char32_t code = readHex4();
        if (code >= 0xDC00 && code <= 0xDFFF) {
            fail("unpaired surrogate");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (m_text.substr(m_pos, 2) != "\\u") {
                fail("unpaired surrogate");
            }
            m_pos += 2;
            const char32_t low = readHex4();
            if (low < 0xDC00 || low > 0xDFFF) {
                fail("unpaired surrogate");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
    }

    static void appendUtf8(std::string& out, char32_t code)
    {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_scratch; // strings that are skipped
};

// Calls onMember(key, reader) for each member of the object that comes next;
// onMember must consume the member's value.
template <typename OnMember> void readObject(Reader& reader, std::string& key, OnMember onMember)
{
    if (reader.peek() != '{') {
        reader.fail("expected an object");
    }
    reader.expect('{');
    if (reader.consume('}')) {
        return;
    }
    do {
        reader.readString(key);
        reader.expect(':');
        onMember(key);
    } while (reader.consume(','));
    reader.expect('}');
}

std::string readRequiredString(Reader& reader, const char* key)
{
    if (reader.peek() != '"') {
        reader.fail(std::string("\"") + key + "\" is not a string");
    }
    std::string value;
    reader.readString(value);
    return value;
}

std::optional<std::string> readOptionalString(Reader& reader)
{
    if (reader.peek() != '"') {
        reader.skipValue();
        return std::nullopt;
    }
    std::string value;
    reader.readString(value);
    return value;
}

bool nextIsNumber(Reader& reader)
{
    const char c = reader.peek();
    return c == '-' || (c >= '0' && c <= '9');
}

std::string requireId(Reader& reader, const std::optional<std::string>& id)
{
    if (!id) {
        reader.fail("missing \"id\"");
    }
    auto canonical = uuid::canonical(*id);
    if (!canonical) {
        reader.fail("\"id\" is not a UUID");
    }
    return std::move(*canonical);
}

DictationEntry readEntry(Reader& reader, std::string& key)
{
    std::optional<std::string> id;
    std::optional<std::string> text;
    std::optional<double> date;
    double duration = 0;
    std::optional<std::string> appBundleID;
    std::optional<std::string> appName;
    // A repeated member counts with its last value, as in a parsed document.
    readObject(reader, key, [&](const std::string& name) {
        if (name == "id") {
            id = readRequiredString(reader, "id");
        } else if (name == "text") {
            text = readRequiredString(reader, "text");
        } else if (name == "date") {
            if (!nextIsNumber(reader)) {
                reader.fail("\"date\" is not a number");
            }
            date = reader.readNumber();
        } else if (name == "duration") {
            if (nextIsNumber(reader)) {
                duration = reader.readNumber();
            } else {
                duration = 0;
                reader.skipValue();
            }
        } else if (name == "appBundleID") {
            appBundleID = readOptionalString(reader);
        } else if (name == "appName") {
            appName = readOptionalString(reader);
        } else {
            reader.skipValue();
        }
    });
    if (!text) {
        reader.fail("missing \"text\"");
    }
    if (!date) {
        reader.fail("missing \"date\"");
    }
    return DictationEntry(requireId(reader, id),
                          std::move(*text),
                          *date,
                          duration,
                          std::move(appBundleID),
                          std::move(appName));
}

Snippet readSnippet(Reader& reader, std::string& key)
{
    std::optional<std::string> id;
    std::optional<std::string> trigger;
    std::optional<std::string> expansion;
    readObject(reader, key, [&](const std::string& name) {
        if (name == "id") {
            id = readRequiredString(reader, "id");
        } else if (name == "trigger") {
            trigger = readRequiredString(reader, "trigger");
        } else if (name == "expansion") {
            expansion = readRequiredString(reader, "expansion");
        } else {
            reader.skipValue();
        }
    });
    if (!trigger || !expansion) {
        reader.fail(!trigger ? "missing \"trigger\"" : "missing \"expansion\"");
    }
    return Snippet{requireId(reader, id), std::move(*trigger), std::move(*expansion)};
}

// Also notes whether the text is exactly what the encoder would write for the
// records, by encoding each record into a small reused buffer and comparing it
// with the bytes it was read from.
template <typename Record, typename ReadRecord, typename AppendRecord>
DecodedList<Record> decodeList(std::string_view text, ReadRecord read, AppendRecord append)
{
    DecodedList<Record> result;
    // A byte-order mark (left by some editors) is dropped; the next save
    // writes the file without it.
    const bool byteOrderMark = text.substr(0, 3) == "\xEF\xBB\xBF";
    if (byteOrderMark) {
        text.remove_prefix(3);
    }
    Reader reader(text);
    std::string key;
    std::string encoded;
    std::size_t index = 0;
    bool inElements = false;
    bool canonical = !byteOrderMark && !text.empty() && text.front() == '[';
    try {
        if (reader.peek() != '[') {
            reader.fail("expected a JSON array");
        }
        reader.expect('[');
        if (!reader.consume(']')) {
            inElements = true;
            do {
                const std::size_t start = reader.position();
                result.records.push_back(read(reader, key));
                ++index;
                if (canonical) {
                    encoded.clear();
                    append(encoded, result.records.back());
                    canonical = text.substr(start, reader.position() - start) == encoded &&
                                reader.position() < text.size() &&
                                (text[reader.position()] == ',' || reader.position() + 1 == text.size());
                }
            } while (reader.consume(','));
            reader.expect(']');
            inElements = false;
        }
        reader.expectEnd();
    } catch (const FormatError& error) {
        result.records.clear();
        result.error = inElements ? "element " + std::to_string(index) + " is malformed: " + error.what()
                                  : std::string("it is not a JSON array of records: ") + error.what();
        return result;
    }
    result.ok = true;
    result.canonical = canonical && (!result.records.empty() || text == "[]");
    return result;
}

} // namespace

std::string encodeHistory(std::span<const DictationEntry> entries)
{
    std::string out;
    std::size_t estimate = 2;
    for (const DictationEntry& entry : entries) {
        estimate += 160 + entry.text().size();
    }
    out.reserve(estimate);
    out.push_back('[');
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        appendEntry(out, entries[i]);
    }
    out.push_back(']');
    return out;
}

std::string encodeSnippets(std::span<const Snippet> snippets)
{
    std::string out = "[";
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        appendSnippet(out, snippets[i]);
    }
    out.push_back(']');
    return out;
}

DecodedList<DictationEntry> decodeHistory(std::string_view json)
{
    return decodeList<DictationEntry>(json, readEntry, appendEntry);
}

DecodedList<Snippet> decodeSnippets(std::string_view json)
{
    return decodeList<Snippet>(json, readSnippet, appendSnippet);
}

} // namespace quillo
