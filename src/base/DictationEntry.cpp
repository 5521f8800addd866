#include "base/DictationEntry.h"

#include <cmath>
#include <utility>

namespace quillo {

DictationEntry::DictationEntry(std::string id,
                               std::string text,
                               double date,
                               double duration,
                               std::optional<std::string> appBundleID,
                               std::optional<std::string> appName)
    : m_id(std::move(id)), m_text(std::move(text)), m_date(date), m_duration(duration),
      m_appBundleID(std::move(appBundleID)), m_appName(std::move(appName)), m_wordCount(quillo::wordCount(m_text))
{}

std::chrono::system_clock::time_point DictationEntry::time() const
{
    return fromReferenceSeconds(m_date);
}

std::size_t wordCount(std::string_view text)
{
    // A word starts wherever a non-space byte follows a space or the start.
    // Bytes of multi-byte characters are never 0x20, so bytes suffice.
    std::size_t words = 0;
    bool previousWasSpace = true;
    for (const char c : text) {
        const bool space = c == ' ';
        words += static_cast<std::size_t>(previousWasSpace && !space);
        previousWasSpace = space;
    }
    return words;
}

double toReferenceSeconds(std::chrono::system_clock::time_point time)
{
    const std::chrono::duration<double> sinceUnixEpoch = time.time_since_epoch();
    return sinceUnixEpoch.count() - static_cast<double>(kReferenceDateUnixSeconds);
}

std::chrono::system_clock::time_point fromReferenceSeconds(double seconds)
{
    using std::chrono::system_clock;
    const double unixSeconds = seconds + static_cast<double>(kReferenceDateUnixSeconds);
    const double limit =
        std::chrono::duration<double>(system_clock::duration::max()).count() * 0.999; // stay clear of the edge
    if (std::isnan(unixSeconds)) {
        return system_clock::time_point{};
    }
    const double clamped = std::fmax(-limit, std::fmin(limit, unixSeconds));
    return system_clock::time_point(
        std::chrono::duration_cast<system_clock::duration>(std::chrono::duration<double>(clamped)));
}

} // namespace quillo
