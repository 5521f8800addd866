#include "store/RecordJson.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "base/TextUtil.h"
#include "store/JsonScanner.h"
#include "store/Uuid.h"

// The history file is rewritten on every dictation and read at every start,
// and grows without bound (100,000 entries is some 35 MB). Both directions are
// written out here for exactly these two shapes over JsonScanner: that takes
// about half the time of nlohmann's SAX reader or of simdjson, whose
// allocations for a document this size cost more than the parse
// (bench/bench_store.cpp). Any valid JSON is still accepted (unknown members
// of any type are skipped) and anything that is not is rejected.

namespace quillo {

namespace {

using json::endOfPlainRun;
using json::kShortEscapes;
using json::Reader;

// --------------------------------------------------------------- writing

constexpr char kHex[] = "0123456789abcdef";
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD"; // U+FFFD

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
            const std::size_t length = text::utf8SequenceLength(s, i);
            if (length == 0) {
                out += kReplacementCharacter;
                ++i;
            } else {
                out.append(s.data() + i, length);
                i += length;
            }
            continue;
        }
        std::size_t escape = 1;
        while (escape < kShortEscapes.size() && kShortEscapes[escape] != static_cast<char>(c)) {
            escape += 2;
        }
        if (escape < kShortEscapes.size()) {
            out.push_back('\\');
            out.push_back(kShortEscapes[escape - 1]);
        } else {
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

template <typename Record, typename Append>
std::string encodeList(std::span<const Record> records, Append append, std::size_t estimate)
{
    std::string out;
    out.reserve(estimate);
    out.push_back('[');
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        append(out, records[i]);
    }
    out.push_back(']');
    return out;
}

// --------------------------------------------------------------- reading

// Calls onMember(key) for each member of the object that comes next; onMember
// must consume the member's value.
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

// A repeated member counts with its last value, as in a parsed document.
DictationEntry readEntry(Reader& reader, std::string& key)
{
    std::optional<std::string> id;
    std::optional<std::string> text;
    std::optional<double> date;
    double duration = 0;
    std::optional<std::string> appBundleID;
    std::optional<std::string> appName;
    readObject(reader, key, [&](const std::string& name) {
        if (name == "id") {
            id = readRequiredString(reader, "id");
        } else if (name == "text") {
            text = readRequiredString(reader, "text");
        } else if (name == "date") {
            if (!reader.nextIsNumber()) {
                reader.fail("\"date\" is not a number");
            }
            date = reader.readNumber();
        } else if (name == "duration") {
            const bool number = reader.nextIsNumber();
            duration = number ? reader.readNumber() : 0;
            if (!number) {
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
    if (!text || !date) {
        reader.fail(!text ? "missing \"text\"" : "missing \"date\"");
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

template <typename Record, typename ReadRecord> DecodedList<Record> decodeList(std::string_view text, ReadRecord read)
{
    DecodedList<Record> result;
    // A byte-order mark (left by some editors) is dropped; the next save
    // writes the file without it.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Reader reader(text);
    std::string key;
    std::size_t index = 0;
    bool inElements = false;
    try {
        if (reader.peek() != '[') {
            reader.fail("expected a JSON array");
        }
        reader.expect('[');
        if (!reader.consume(']')) {
            inElements = true;
            do {
                result.records.push_back(read(reader, key));
                ++index;
            } while (reader.consume(','));
            reader.expect(']');
            inElements = false;
        }
        reader.expectEnd();
    } catch (const json::FormatError& error) {
        result.records.clear();
        result.error = inElements ? "element " + std::to_string(index) + " is malformed: " + error.what()
                                  : std::string("it is not a JSON array of records: ") + error.what();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace

std::string encodeHistory(std::span<const DictationEntry> entries)
{
    std::size_t estimate = 2;
    for (const DictationEntry& entry : entries) {
        estimate += 160 + entry.text().size();
    }
    return encodeList(entries, appendEntry, estimate);
}

std::string encodeSnippets(std::span<const Snippet> snippets)
{
    return encodeList(snippets, appendSnippet, 2 + snippets.size() * 120);
}

DecodedList<DictationEntry> decodeHistory(std::string_view json)
{
    return decodeList<DictationEntry>(json, readEntry);
}

DecodedList<Snippet> decodeSnippets(std::string_view json)
{
    return decodeList<Snippet>(json, readSnippet);
}

} // namespace quillo
