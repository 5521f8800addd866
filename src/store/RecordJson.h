#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/DictationEntry.h"
#include "base/Snippet.h"

namespace quillo {

// The on-disk form of the two record lists: a compact JSON array of objects,
// members in the order id, text, date, duration, appBundleID, appName (an
// absent application member is left out, never null) and id, trigger,
// expansion.
//
// Reading is strict about what identifies a record (a malformed id, a missing
// text or date makes the whole text unreadable, so nothing half-read is ever
// saved back) and lenient about the descriptive history members: a duration
// that is missing or not a number reads as 0, an application member that is
// missing or not a string reads as absent. Unknown members are ignored, and
// any text that is not valid JSON is rejected.

template <typename Record> struct DecodedList
{
    bool ok = false;
    std::vector<Record> records; // in file order; empty unless ok
    std::string error;           // why the text was rejected; empty when ok
};

std::string encodeHistory(std::span<const DictationEntry> entries);
std::string encodeSnippets(std::span<const Snippet> snippets);

DecodedList<DictationEntry> decodeHistory(std::string_view json);
DecodedList<Snippet> decodeSnippets(std::string_view json);

} // namespace quillo
