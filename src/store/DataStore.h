#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "base/DictationEntry.h"
#include "base/ObserverList.h"
#include "base/Snippet.h"
#include "store/DictationStatistics.h"
#include "store/HeatmapModel.h"

namespace quillo {

class Clock;
class FileSystem;
class Log;
class Preferences;

// The user's data: the dictation history (newest first) and the snippets, each
// in its own JSON file in the data directory, and the dictionary words, kept
// in the preference store under "dictionaryWords". Everything is loaded once,
// at construction; every change saves the list it changed.
//
// Files: the data directory is created 0700 and the files are written 0600,
// each save replacing its file atomically. A save that fails is logged and the
// change stays in memory (the next successful save writes it). A file that
// cannot be read or decoded is never overwritten: it is renamed aside with an
// ".unreadable-<UTC time>" suffix, logged, and its list starts empty; if it
// cannot even be renamed, that list is not saved at all for the session.
//
// Threading: every method may be called from any thread. One mutex serialises
// the operations, so the lists and the files always look as if the calls had
// run one after another. Observers run on the thread that made the change,
// after it is made and outside the store's lock, so they may read the store;
// they must not assume the main thread.
class DataStore final
{
public:
    enum class List
    {
        history,
        snippets,
        dictionaryWords
    };
    using Observer = std::function<void(List changed)>;
    using ObserverToken = std::uint64_t;

    static constexpr const char* kHistoryFileName = "history.json";
    static constexpr const char* kSnippetsFileName = "snippets.json";

    // `dataDirectory` is created when missing; `clock` dates new entries and
    // decides which day is today.
    DataStore(FileSystem& fileSystem,
              Preferences& preferences,
              Log& log,
              const Clock& clock,
              std::string dataDirectory);

    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    // ----------------------------------------------------------- the lists
    std::vector<DictationEntry> history() const;
    // Calls `reader` with the history under the store's lock, for readers that
    // walk all of it and should not copy it. `reader` must not call the store.
    template <typename Reader> decltype(auto) readHistory(Reader&& reader) const
    {
        std::lock_guard lock(m_mutex);
        return std::forward<Reader>(reader)(std::span<const DictationEntry>(m_history));
    }
    std::vector<Snippet> snippets() const;
    std::vector<std::string> dictionaryWords() const;

    // ------------------------------------------------------------- history
    // Adds an entry dated now with a fresh id at the front, stored as given.
    void addEntry(const std::string& text,
                  double duration,
                  const std::optional<std::string>& appBundleID,
                  const std::optional<std::string>& appName);
    void addEntryMadeAt(double date,
                        const std::string& text,
                        double duration,
                        const std::optional<std::string>& appBundleID,
                        const std::optional<std::string>& appName);
    void clearHistory();

    // ---------------------------------------------------------- dictionary
    // Adds the word trimmed of spaces and tabs, unless that is empty or the
    // exact (case-sensitive) word is already there.
    void addWord(const std::string& word);
    // Removes the words at these positions of the current list; positions
    // outside it are ignored.
    void removeWord(const std::set<std::size_t>& positions);

    // ------------------------------------------------------------ snippets
    // Appends a snippet with a fresh id; trigger and expansion as given.
    void addSnippet(const std::string& trigger, const std::string& expansion);
    // As removeWord, for the snippets.
    void removeSnippet(const std::set<std::size_t>& positions);
    // Replaces the snippet with the same id in place; an unknown id changes
    // nothing.
    void updateSnippet(const Snippet& snippet);
    // The expansion of the first snippet whose trigger, lower-cased, equals
    // the whole text lower-cased and trimmed of white space and line breaks.
    std::optional<std::string> expandSnippet(const std::string& text);

    // ---------------------------------------------------------- statistics
    std::size_t totalDictations() const;
    std::size_t totalWords() const;
    std::optional<double> avgWPM() const;
    int currentStreak() const;
    int longestStreak() const;
    // The five figures above from one look at the history.
    DictationStatistics statistics() const;
    // The activity calendar's page as of now.
    HeatmapModel heatmap(int page) const;
    // The local day the statistics count as today; nothing when the clock's
    // time has no local date.
    std::optional<std::chrono::local_days> today() const;

    // ----------------------------------------------------------- observers
    // Told which list changed after every change that changed something.
    ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);
    // Told once when saving a file starts failing, with what failed and where;
    // the next change tries again, and a success rearms the report.
    ObserverToken addSaveFailureObserver(std::function<void(const std::string& message)> observer);

    // ------------------------------------------------ what could not be saved
    // Entries added since the history file last saved, oldest first.
    std::vector<DictationEntry> unsavedEntries() const;
    // Saves the history once more; true when the file now holds every entry.
    bool saveHistoryNow();

    // Fixed at construction.
    const std::string& historyPath() const { return m_historyFile.path; }
    const std::string& snippetsPath() const { return m_snippetsFile.path; }

private:
    // Where a list's file stands: the file this store may replace, or one it
    // must leave alone because it could not move an unreadable one aside.
    struct ListFile
    {
        const std::string path;
        const std::string description; // "history", "snippets": for log lines
        bool writable = true;
        bool failing = false; // the last save failed
    };

    // Reads and decodes a list's file, setting an unusable file aside.
    template <typename Record, typename Decode> std::vector<Record> loadList(ListFile& file, Decode decode);
    void setAside(ListFile& file, const std::string& reason);
    bool saveLocked(ListFile& file, const std::string& contents);
    bool saveHistoryLocked();
    void saveSnippetsLocked();
    // Writes the words to the preference store, from outside m_mutex: the
    // preference store calls its own observers, which may read this store.
    void saveWords();
    void notify(List changed);

    FileSystem& m_fileSystem;
    Preferences& m_preferences;
    Log& m_log;
    const Clock& m_clock;
    const std::string m_dataDirectory;

    mutable std::mutex m_mutex; // guards the lists, the ListFiles, the files and the two words flags
    ListFile m_historyFile;
    ListFile m_snippetsFile;
    std::vector<DictationEntry> m_history; // newest first
    // encodeHistory(m_history), once first needed by a save, then
    // kept up to date by every change, so a new entry costs only its own
    // encoding. Holds as much memory again as the history's texts.
    std::string m_encodedHistory;
    bool m_encodedHistoryValid = false;
    std::vector<Snippet> m_snippets;
    std::vector<std::string> m_words;
    bool m_wordsDirty = false;  // the words changed since they were last handed to the preference store
    bool m_wordsSaving = false; // some thread is handing them over now

    std::vector<DictationEntry> m_unsaved; // added since the history file last saved
    std::vector<std::string> m_failuresToReport;

    ObserverList<List> m_observers;
    ObserverList<std::string> m_saveFailureObservers;
};

} // namespace quillo
