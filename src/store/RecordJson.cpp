#include "store/RecordJson.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "store/Uuid.h"

namespace quillo {

namespace {

using Json = nlohmann::json;
// Keeps members in insertion order, so the files list them as documented.
using OrderedJson = nlohmann::ordered_json;

// Why a record was rejected; caught at the list level and turned into text.
class RecordError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

std::string dump(const OrderedJson& value)
{
    // Invalid UTF-8 in a text must not make a save fail or write a file the
    // reader would reject; it becomes U+FFFD.
    return value.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

const Json& requiredMember(const Json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end()) {
        throw RecordError(std::string("missing \"") + key + "\"");
    }
    return *found;
}

std::string requiredString(const Json& object, const char* key)
{
    const Json& value = requiredMember(object, key);
    if (!value.is_string()) {
        throw RecordError(std::string("\"") + key + "\" is not a string");
    }
    return value.get<std::string>();
}

std::string requiredId(const Json& object)
{
    auto id = uuid::canonical(requiredString(object, "id"));
    if (!id) {
        throw RecordError("\"id\" is not a UUID");
    }
    return std::move(*id);
}

std::optional<std::string> optionalString(const Json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return std::nullopt;
    }
    return found->get<std::string>();
}

const Json& requiredObject(const Json& element)
{
    if (!element.is_object()) {
        throw RecordError("not an object");
    }
    return element;
}

DictationEntry entryFromJson(const Json& element)
{
    const Json& object = requiredObject(element);
    DictationEntry entry;
    entry.id = requiredId(object);
    entry.text = requiredString(object, "text");
    const Json& date = requiredMember(object, "date");
    if (!date.is_number()) {
        throw RecordError("\"date\" is not a number");
    }
    entry.date = date.get<double>();
    if (const auto duration = object.find("duration"); duration != object.end() && duration->is_number()) {
        entry.duration = duration->get<double>();
    }
    entry.appBundleID = optionalString(object, "appBundleID");
    entry.appName = optionalString(object, "appName");
    return entry;
}

Snippet snippetFromJson(const Json& element)
{
    const Json& object = requiredObject(element);
    Snippet snippet;
    snippet.id = requiredId(object);
    snippet.trigger = requiredString(object, "trigger");
    snippet.expansion = requiredString(object, "expansion");
    return snippet;
}

template <typename Record, typename FromJson> DecodedList<Record> decodeList(std::string_view text, FromJson fromJson)
{
    DecodedList<Record> result;
    const Json parsed = Json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        result.error = "it is not valid JSON";
        return result;
    }
    if (!parsed.is_array()) {
        result.error = "it does not hold a JSON array";
        return result;
    }
    result.records.reserve(parsed.size());
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        try {
            result.records.push_back(fromJson(parsed[i]));
        } catch (const std::exception& error) {
            result.records.clear();
            result.error = "element " + std::to_string(i) + " is malformed (" + error.what() + ")";
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace

std::string encodeHistory(std::span<const DictationEntry> entries)
{
    OrderedJson array = OrderedJson::array();
    array.get_ref<OrderedJson::array_t&>().reserve(entries.size());
    for (const DictationEntry& entry : entries) {
        OrderedJson object = OrderedJson::object();
        object["id"] = entry.id;
        object["text"] = entry.text;
        object["date"] = entry.date;
        object["duration"] = entry.duration;
        if (entry.appBundleID) {
            object["appBundleID"] = *entry.appBundleID;
        }
        if (entry.appName) {
            object["appName"] = *entry.appName;
        }
        array.push_back(std::move(object));
    }
    return dump(array);
}

std::string encodeSnippets(std::span<const Snippet> snippets)
{
    OrderedJson array = OrderedJson::array();
    for (const Snippet& snippet : snippets) {
        OrderedJson object = OrderedJson::object();
        object["id"] = snippet.id;
        object["trigger"] = snippet.trigger;
        object["expansion"] = snippet.expansion;
        array.push_back(std::move(object));
    }
    return dump(array);
}

DecodedList<DictationEntry> decodeHistory(std::string_view json)
{
    return decodeList<DictationEntry>(json, entryFromJson);
}

DecodedList<Snippet> decodeSnippets(std::string_view json)
{
    return decodeList<Snippet>(json, snippetFromJson);
}

} // namespace quillo
