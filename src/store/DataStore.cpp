#include "store/DataStore.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "base/SnippetRules.h"
#include "base/TextUtil.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "settings/Settings.h"
#include "store/LocalCalendar.h"
#include "store/RecordJson.h"
#include "store/Uuid.h"

namespace quillo {

namespace {

constexpr std::uint32_t kFileMode = 0600;
constexpr std::uint32_t kDirectoryMode = 0700;

std::string joinPath(const std::string& directory, const char* name)
{
    if (directory.empty() || directory.back() == '/') {
        return directory + name;
    }
    return directory + "/" + name;
}

// Removes the elements at `positions` (positions in the list as it was),
// keeping the others in order. Positions past the end are ignored. Returns
// whether anything was removed.
template <typename T> bool removeAt(std::vector<T>& list, const std::set<std::size_t>& positions)
{
    std::vector<T> kept;
    kept.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!positions.contains(i)) {
            kept.push_back(std::move(list[i]));
        }
    }
    const bool removed = kept.size() != list.size();
    list = std::move(kept);
    return removed;
}

} // namespace

DataStore::DataStore(FileSystem& fileSystem,
                     Preferences& preferences,
                     Log& log,
                     const Clock& clock,
                     std::string dataDirectory)
    : m_fileSystem(fileSystem), m_preferences(preferences), m_log(log), m_clock(clock),
      m_dataDirectory(std::move(dataDirectory)), m_historyFile{joinPath(m_dataDirectory, kHistoryFileName),
                                                               "history",
                                                               true},
      m_snippetsFile{joinPath(m_dataDirectory, kSnippetsFileName), "snippets", true}
{
    if (const auto created = m_fileSystem.createDirectories(m_dataDirectory, kDirectoryMode); !created) {
        // The loads and saves below report their own failures if it matters.
        m_log.write("[Quillo] Could not create the data directory: " + created.error);
    }
    std::lock_guard lock(m_mutex);
    m_history = loadList<DictationEntry>(m_historyFile, decodeHistory);
    m_snippets = loadList<Snippet>(m_snippetsFile, decodeSnippets);
    m_words = Settings(m_preferences).get(setting::dictionaryWords);
}

// ------------------------------------------------------------------ loading

template <typename Record, typename Decode> std::vector<Record> DataStore::loadList(ListFile& file, Decode decode)
{
    // An interrupted save leaves its temporary (as large as the file) behind.
    m_fileSystem.removeStaleTemporaries(file.path);
    auto read = m_fileSystem.readFile(file.path);
    switch (read.status) {
    case FileSystem::ReadResult::Status::notFound:
        return {};
    case FileSystem::ReadResult::Status::failed:
        setAside(file, "it could not be read (" + read.error + ")");
        return {};
    case FileSystem::ReadResult::Status::ok:
        break;
    }
    auto decoded = decode(read.contents);
    if (!decoded.ok) {
        setAside(file, decoded.error);
        return {};
    }
    return std::move(decoded.records);
}

void DataStore::setAside(ListFile& file, const std::string& reason)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(m_clock.now());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);

    // rename() replaces an existing file silently; an earlier set-aside file
    // from the same second must survive too.
    const std::string base = file.path + ".unreadable-" + stamp;
    std::string aside = base;
    for (int n = 2; m_fileSystem.exists(aside); ++n) {
        aside = base + "-" + std::to_string(n);
    }
    if (const auto moved = m_fileSystem.rename(file.path, aside)) {
        m_log.write("[Quillo] The " + file.description + " file " + file.path + " was set aside as " + aside +
                    " because " + reason + "; starting with empty " + file.description + ".");
    } else {
        file.writable = false;
        m_log.write("[Quillo] The " + file.description + " file " + file.path + " is unusable because " + reason +
                    " and could not be set aside (" + moved.error + "); starting with empty " + file.description +
                    ", which will not be saved this session so that the file is kept.");
    }
}

// ------------------------------------------------------------------- saving

bool DataStore::saveLocked(ListFile& file, const std::string& contents)
{
    if (!file.writable) {
        return false;
    }
    // The directory may have been removed since start-up.
    auto result = m_fileSystem.createDirectories(m_dataDirectory, kDirectoryMode);
    if (result) {
        result = m_fileSystem.writeFileAtomically(file.path, contents, kFileMode);
    }
    if (!result) {
        m_log.write("[Quillo] Could not save the " + file.description + ": " + result.error);
        if (!std::exchange(file.failing, true)) {
            m_failuresToReport.push_back("The " + file.description + " could not be saved to " + file.path + " (" +
                                         result.error + "). Quillo keeps it and tries again at the next change.");
        }
        return false;
    }
    file.failing = false;
    return true;
}

bool DataStore::saveHistoryLocked()
{
    if (!m_encodedHistoryValid) {
        m_encodedHistory = encodeHistory(m_history);
        m_encodedHistoryValid = true;
    }
    const bool saved = saveLocked(m_historyFile, m_encodedHistory);
    if (saved) {
        m_unsaved.clear();
    }
    return saved;
}

void DataStore::saveSnippetsLocked()
{
    saveLocked(m_snippetsFile, encodeSnippets(m_snippets));
}

void DataStore::saveWords()
{
    // Whoever finds no save under way becomes the saver and keeps handing over
    // the latest list until no change is left; the others only mark theirs. So
    // the preference store always ends with the latest list, and a preference
    // observer that edits the words again cannot deadlock.
    std::vector<std::string> words;
    {
        std::lock_guard lock(m_mutex);
        m_wordsDirty = true;
        if (m_wordsSaving) {
            return;
        }
        m_wordsSaving = true;
    }
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_wordsDirty) {
                m_wordsSaving = false;
                return;
            }
            m_wordsDirty = false;
            words = m_words;
        }
        EditableSettings(m_preferences).set(setting::dictionaryWords, words);
    }
}

// -------------------------------------------------------------------- lists

std::vector<DictationEntry> DataStore::history() const
{
    std::lock_guard lock(m_mutex);
    return m_history;
}

std::vector<Snippet> DataStore::snippets() const
{
    std::lock_guard lock(m_mutex);
    return m_snippets;
}

std::vector<std::string> DataStore::dictionaryWords() const
{
    std::lock_guard lock(m_mutex);
    return m_words;
}

// ------------------------------------------------------------------ history

void DataStore::addEntry(const std::string& text,
                         double duration,
                         const std::optional<std::string>& appBundleID,
                         const std::optional<std::string>& appName)
{
    addEntryMadeAt(toReferenceSeconds(m_clock.now()), text, duration, appBundleID, appName);
}

void DataStore::addEntryMadeAt(double date,
                               const std::string& text,
                               double duration,
                               const std::optional<std::string>& appBundleID,
                               const std::optional<std::string>& appName)
{
    {
        std::lock_guard lock(m_mutex);
        DictationEntry entry(uuid::makeRandom(), text, date, duration, appBundleID, appName);
        // Newest first: an entry made earlier (a retried dictation) goes where
        // its date puts it.
        const auto position = std::find_if(m_history.begin(), m_history.end(), [date](const DictationEntry& other) {
            return other.date() <= date;
        });
        if (position != m_history.begin()) {
            m_encodedHistoryValid = false;
        } else if (m_encodedHistoryValid) {
            // Splice the one new element in after the '[' rather than encoding
            // the whole history again: same text, a fraction of the work.
            std::string element = encodeHistory(std::span<const DictationEntry>(&entry, 1));
            if (m_history.empty()) {
                m_encodedHistory = std::move(element);
            } else {
                element.back() = ',';
                m_encodedHistory.replace(0, 1, element);
            }
        }
        m_history.insert(position, entry);
        if (!saveHistoryLocked()) {
            m_unsaved.push_back(std::move(entry));
        }
    }
    notify(List::history);
}

void DataStore::clearHistory()
{
    {
        std::lock_guard lock(m_mutex);
        m_history.clear();
        m_unsaved.clear();
        m_encodedHistory = "[]";
        m_encodedHistory.shrink_to_fit();
        m_encodedHistoryValid = true;
        saveHistoryLocked();
    }
    notify(List::history);
}

// --------------------------------------------------------------- dictionary

void DataStore::addWord(const std::string& word)
{
    const std::string trimmed = text::trimSpacesAndTabs(word);
    if (trimmed.empty()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (std::find(m_words.begin(), m_words.end(), trimmed) != m_words.end()) {
            return;
        }
        m_words.push_back(trimmed);
    }
    saveWords();
    notify(List::dictionaryWords);
}

void DataStore::removeWord(const std::set<std::size_t>& positions)
{
    {
        std::lock_guard lock(m_mutex);
        if (!removeAt(m_words, positions)) {
            return;
        }
    }
    saveWords();
    notify(List::dictionaryWords);
}

// ----------------------------------------------------------------- snippets

void DataStore::addSnippet(const std::string& trigger, const std::string& expansion)
{
    {
        std::lock_guard lock(m_mutex);
        m_snippets.push_back(Snippet{uuid::makeRandom(), trigger, expansion});
        saveSnippetsLocked();
    }
    notify(List::snippets);
}

void DataStore::removeSnippet(const std::set<std::size_t>& positions)
{
    {
        std::lock_guard lock(m_mutex);
        if (!removeAt(m_snippets, positions)) {
            return;
        }
        saveSnippetsLocked();
    }
    notify(List::snippets);
}

void DataStore::updateSnippet(const Snippet& snippet)
{
    {
        std::lock_guard lock(m_mutex);
        const auto found =
            std::find_if(m_snippets.begin(), m_snippets.end(), [&](const Snippet& s) { return s.id == snippet.id; });
        if (found == m_snippets.end()) {
            return;
        }
        *found = snippet;
        saveSnippetsLocked();
    }
    notify(List::snippets);
}

std::optional<std::string> DataStore::expandSnippet(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    return snippets::expandWhole(m_snippets, text);
}

// --------------------------------------------------------------- statistics

std::size_t DataStore::totalDictations() const
{
    std::lock_guard lock(m_mutex);
    return m_history.size();
}

std::size_t DataStore::totalWords() const
{
    std::lock_guard lock(m_mutex);
    return statistics::totalWords(m_history);
}

std::optional<double> DataStore::avgWPM() const
{
    std::lock_guard lock(m_mutex);
    return statistics::averageWordsPerMinute(m_history);
}

int DataStore::currentStreak() const
{
    const auto now = m_clock.now();
    std::lock_guard lock(m_mutex);
    const auto today = LocalDayResolver().dayOf(now);
    return today ? statistics::currentStreak(statistics::activeDays(m_history), *today) : 0;
}

int DataStore::longestStreak() const
{
    std::lock_guard lock(m_mutex);
    return statistics::longestStreak(statistics::activeDays(m_history));
}

DictationStatistics DataStore::statistics() const
{
    const auto now = m_clock.now();
    std::lock_guard lock(m_mutex);
    return statistics::compute(m_history, now);
}

HeatmapModel DataStore::heatmap(int page) const
{
    const auto now = m_clock.now();
    std::lock_guard lock(m_mutex);
    return heatmap::build(m_history, now, page);
}

std::optional<std::chrono::local_days> DataStore::today() const
{
    return LocalDayResolver().dayOf(m_clock.now());
}

// ---------------------------------------------------------------- observers

DataStore::ObserverToken DataStore::addObserver(Observer observer)
{
    return m_observers.add(std::move(observer));
}

void DataStore::removeObserver(ObserverToken token)
{
    m_observers.remove(token);
}

void DataStore::notify(List changed)
{
    m_observers.notify(changed);
    std::vector<std::string> failures;
    {
        std::lock_guard lock(m_mutex);
        failures.swap(m_failuresToReport);
    }
    for (const auto& message : failures) {
        m_saveFailureObservers.notify(message);
    }
}

DataStore::ObserverToken DataStore::addSaveFailureObserver(std::function<void(const std::string& message)> observer)
{
    return m_saveFailureObservers.add(std::move(observer));
}

std::vector<DictationEntry> DataStore::unsavedEntries() const
{
    std::lock_guard lock(m_mutex);
    return m_unsaved;
}

bool DataStore::saveHistoryNow()
{
    std::lock_guard lock(m_mutex);
    return m_unsaved.empty() || saveHistoryLocked();
}

} // namespace quillo
