#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillo {

// One finished dictation in the history. Immutable once made, which lets it
// count its words once instead of at every statistics read.
class DictationEntry
{
public:
    // `date` is in seconds since 2001-01-01 00:00:00 UTC. It stays in the
    // history file's own form so that loading and saving a file never moves a
    // date by a rounding step.
    DictationEntry(std::string id,
                   std::string text,
                   double date,
                   double duration = 0,
                   std::optional<std::string> appBundleID = std::nullopt,
                   std::optional<std::string> appName = std::nullopt);

    const std::string& id() const { return m_id; }     // upper-case canonical UUID
    const std::string& text() const { return m_text; } // as transcribed, before any snippet expansion
    double date() const { return m_date; }
    double duration() const { return m_duration; } // seconds of recording; 0 when unknown
    const std::optional<std::string>& appBundleID() const { return m_appBundleID; }
    const std::optional<std::string>& appName() const { return m_appName; }

    // The words of text() as every count in the program sees them: see
    // quillo::wordCount().
    std::size_t wordCount() const { return m_wordCount; }
    std::chrono::system_clock::time_point time() const;

    bool operator==(const DictationEntry&) const = default;

private:
    std::string m_id;
    std::string m_text;
    double m_date;
    double m_duration;
    std::optional<std::string> m_appBundleID;
    std::optional<std::string> m_appName;
    std::size_t m_wordCount;
};

// The pieces of `text` between U+0020 spaces, empty pieces dropped. Tabs and
// line breaks do not separate words.
std::size_t wordCount(std::string_view text);

// 2001-01-01 00:00:00 UTC in Unix seconds: the epoch of DictationEntry::date().
inline constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;

double toReferenceSeconds(std::chrono::system_clock::time_point time);
// Dates beyond what the system clock can represent are clamped to its range.
std::chrono::system_clock::time_point fromReferenceSeconds(double seconds);

} // namespace quillo
