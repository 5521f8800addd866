#pragma once

#include <optional>
#include <string>

namespace quillo {

// The two calls a finished dictation makes into the data store.
//
// Threading: any thread; the store serialises them with its other operations.
class HistoryRecorder
{
public:
    virtual ~HistoryRecorder() = default;
    // The expansion of a snippet whose trigger is the whole text, if any.
    virtual std::optional<std::string> expandSnippet(const std::string& text) = 0;
    virtual void addEntry(const std::string& text,
                          double duration,
                          const std::optional<std::string>& appBundleID,
                          const std::optional<std::string>& appName) = 0;
    // The same for a dictation made earlier (one retried later), with its own
    // date in DictationEntry::date()'s form.
    virtual void addEntryMadeAt(double date,
                                const std::string& text,
                                double duration,
                                const std::optional<std::string>& appBundleID,
                                const std::optional<std::string>& appName) = 0;
};

} // namespace quillo
