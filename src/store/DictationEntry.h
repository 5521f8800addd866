#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillo {

// One finished dictation in the history.
struct DictationEntry
{
    std::string id;   // upper-case canonical UUID
    std::string text; // as transcribed, before any snippet expansion
    // When the entry was made, in seconds since 2001-01-01 00:00:00 UTC. Kept
    // as the history file's own number so that loading and saving a file never
    // moves a date by a rounding step.
    double date = 0;
    double duration = 0; // seconds of recording; 0 when unknown
    std::optional<std::string> appBundleID;
    std::optional<std::string> appName;

    // Words of `text` as every count in the program sees them: see wordCount().
    std::size_t wordCount() const;
    std::chrono::system_clock::time_point time() const;

    bool operator==(const DictationEntry&) const = default;
};

// The pieces of `text` between U+0020 spaces, empty pieces dropped. Tabs and
// line breaks do not separate words.
std::size_t wordCount(std::string_view text);

// 2001-01-01 00:00:00 UTC in Unix seconds: the epoch of DictationEntry::date.
inline constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;

double toReferenceSeconds(std::chrono::system_clock::time_point time);
// Dates beyond what the system clock can represent are clamped to its range.
std::chrono::system_clock::time_point fromReferenceSeconds(double seconds);

} // namespace quillo
