#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/DictationEntry.h"
#include "base/ObserverList.h"

namespace quillo {

class Clock;
class FileSystem;
class Log;

// A dictation that could not be transcribed, kept with its recording so that
// it can be retried instead of losing what the user said.
struct KeptDictation
{
    std::string id;
    double date = 0;     // when the recording ended, in DictationEntry::date()'s form
    double duration = 0; // seconds of recording; 0 when unknown
    std::optional<std::string> appBundleID;
    std::optional<std::string> appName;
    std::vector<std::string> languages; // the languages enabled for it
    std::string engine;                 // the engine setting at the time
    std::string error;                  // why it is not transcribed yet
    std::string audioPath;              // where the recording is now; not stored in the record

    bool operator==(const KeptDictation&) const = default;
};

// The folder of kept dictations: each one is its recording, moved in, and a
// small JSON record beside it (<id>.m4a and <id>.json). The folder is private
// (0700), the files 0600. The record is written atomically after the recording
// is in place, so a record always has its recording; a recording without a
// record (a crash between the two) is given one by adoptLeftovers().
//
// Also tracks dictations being processed: a note beside the recording in the
// recordings folder carries what a record needs, so a recording that a crash,
// a kill or a quit leaves behind is kept with its real time, length and
// application.
//
// Threading: any thread; one mutex serialises the file operations. Observers
// run on the changing thread, outside the lock.
class KeptDictationStore
{
public:
    // Kept dictations older than this are removed at start.
    static constexpr int kKeepDays = 30;
    static constexpr const char* kDirectoryName = "kept";

    KeptDictationStore(FileSystem& fileSystem, Log& log, const Clock& clock, std::string directory);

    KeptDictationStore(const KeptDictationStore&) = delete;
    KeptDictationStore& operator=(const KeptDictationStore&) = delete;

    // Moves the recording at `audioPath` into the folder (a rename; a copy only
    // when the two folders are on different file systems) and writes the
    // record. `record.id` is assigned here. Nothing, with the reason logged,
    // when it cannot be kept: the recording is then left where it was.
    std::optional<KeptDictation> keep(const std::string& audioPath, KeptDictation record);

    // Oldest first. Records that cannot be read are skipped.
    std::vector<KeptDictation> list() const;
    std::optional<KeptDictation> find(const std::string& id) const;
    bool updateError(const std::string& id, const std::string& error);
    // Removes the recording and the record. False when there is no such id.
    bool remove(const std::string& id);
    // Removes those dated more than kKeepDays ago; returns how many.
    std::size_t removeExpired();

    // The note of a dictation being processed, beside its recording.
    void noteProcessing(const std::string& audioPath, const KeptDictation& record);
    void forgetProcessing(const std::string& audioPath);
    // Keeps every recording left in `recordingsDirectory` (nobody is recording
    // or processing when this runs) and gives a record to a kept recording
    // that lost its own. Returns how many dictations were recovered.
    std::size_t adoptLeftovers(const std::string& recordingsDirectory, const std::string& error);

    // History entries the history file could not take before Quillo quit,
    // kept here until the next launch hands them back (and forgets them).
    bool keepHistoryEntries(const std::vector<DictationEntry>& entries);
    std::vector<DictationEntry> takeHistoryEntries();

    const std::string& directory() const { return m_directory; }

    std::uint64_t addObserver(std::function<void()> observer) { return m_observers.add(std::move(observer)); }
    void removeObserver(std::uint64_t token) { m_observers.remove(token); }

private:
    std::optional<KeptDictation> keepLocked(const std::string& audioPath, KeptDictation record);
    std::optional<KeptDictation> readRecordLocked(const std::string& id) const;
    bool writeRecordLocked(const KeptDictation& record);
    std::string newIdLocked(double date) const;
    std::string pathFor(const std::string& id, const char* extension) const;

    FileSystem& m_fileSystem;
    Log& m_log;
    const Clock& m_clock;
    const std::string m_directory;
    mutable std::mutex m_mutex; // serialises everything that touches the folder
    ObserverList<> m_observers;
};

} // namespace quillo
