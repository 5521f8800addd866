#include "store/KeptDictations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

#include <nlohmann/json.hpp>

#include "base/DictationEntry.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "store/RecordJson.h"

namespace quillo {

namespace {

constexpr std::uint32_t kFileMode = 0600;
constexpr std::uint32_t kDirectoryMode = 0700;
constexpr const char* kAudioExtension = ".m4a";
constexpr const char* kRecordExtension = ".json";
// The processing note sits beside the recording: clip_….m4a.json.
constexpr const char* kNoteSuffix = ".json";
constexpr const char* kRecordingPrefix = "clip_";
constexpr const char* kHistoryExtension = ".history";

std::optional<std::string> optionalString(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    if (found != object.end() && found->is_string()) {
        return found->get<std::string>();
    }
    return std::nullopt;
}

std::string encode(const KeptDictation& record)
{
    nlohmann::json object = {
        {"id", record.id},
        {"date", record.date},
        {"duration", record.duration},
        {"languages", record.languages},
        {"engine", record.engine},
        {"error", record.error},
    };
    if (record.appBundleID) {
        object["appBundleID"] = *record.appBundleID;
    }
    if (record.appName) {
        object["appName"] = *record.appName;
    }
    return object.dump(2) + "\n";
}

std::optional<KeptDictation> decode(const std::string& text)
{
    const auto object = nlohmann::json::parse(text, nullptr, false);
    if (!object.is_object() || !object.contains("date") || !object["date"].is_number()) {
        return std::nullopt;
    }
    KeptDictation record;
    record.id = optionalString(object, "id").value_or("");
    record.date = object["date"].get<double>();
    if (object.contains("duration") && object["duration"].is_number()) {
        record.duration = std::max(0.0, object["duration"].get<double>());
    }
    record.appBundleID = optionalString(object, "appBundleID");
    record.appName = optionalString(object, "appName");
    if (object.contains("languages") && object["languages"].is_array()) {
        for (const auto& language : object["languages"]) {
            if (language.is_string()) {
                record.languages.push_back(language.get<std::string>());
            }
        }
    }
    record.engine = optionalString(object, "engine").value_or("");
    record.error = optionalString(object, "error").value_or("");
    if (!std::isfinite(record.date) || !std::isfinite(record.duration)) {
        return std::nullopt;
    }
    return record;
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// clip_<seconds since 1970>.m4a: when the recording started.
std::optional<double> recordingStart(const std::string& name)
{
    if (!name.starts_with(kRecordingPrefix) || !endsWith(name, kAudioExtension)) {
        return std::nullopt;
    }
    const char* first = name.data() + std::char_traits<char>::length(kRecordingPrefix);
    const char* last = name.data() + name.size() - std::char_traits<char>::length(kAudioExtension);
    double seconds = 0;
    const auto [end, error] = std::from_chars(first, last, seconds);
    if (error != std::errc() || end != last) {
        return std::nullopt;
    }
    return seconds - static_cast<double>(kReferenceDateUnixSeconds);
}

} // namespace

KeptDictationStore::KeptDictationStore(FileSystem& fileSystem, Log& log, const Clock& clock, std::string directory)
    : m_fileSystem(fileSystem), m_log(log), m_clock(clock), m_directory(std::move(directory))
{}

std::string KeptDictationStore::pathFor(const std::string& id, const char* extension) const
{
    return m_directory + "/" + id + extension;
}

// Readable, sortable and typed easily on the command line: the UTC time of
// the dictation, with a counter when two share a second.
std::string KeptDictationStore::newIdLocked(double date) const
{
    const auto seconds = static_cast<std::time_t>(std::floor(date)) + kReferenceDateUnixSeconds;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    std::string id = stamp;
    for (int n = 2;
         m_fileSystem.exists(pathFor(id, kAudioExtension)) || m_fileSystem.exists(pathFor(id, kRecordExtension));
         ++n) {
        id = std::string(stamp) + "-" + std::to_string(n);
    }
    return id;
}

bool KeptDictationStore::writeRecordLocked(const KeptDictation& record)
{
    const auto written =
        m_fileSystem.writeFileAtomically(pathFor(record.id, kRecordExtension), encode(record), kFileMode);
    if (!written) {
        m_log.write("[Quillo] Could not write the record of kept dictation " + record.id + ": " + written.error);
    }
    return written.ok;
}

std::optional<KeptDictation> KeptDictationStore::keep(const std::string& audioPath, KeptDictation record)
{
    auto kept = [&] {
        std::lock_guard lock(m_mutex);
        return keepLocked(audioPath, std::move(record));
    }();
    if (kept) {
        m_observers.notify();
    }
    return kept;
}

std::optional<KeptDictation> KeptDictationStore::keepLocked(const std::string& audioPath, KeptDictation record)
{
    if (const auto created = m_fileSystem.createDirectories(m_directory, kDirectoryMode); !created) {
        m_log.write("[Quillo] Could not keep the recording " + audioPath + ": " + created.error);
        return std::nullopt;
    }
    record.id = newIdLocked(record.date);
    record.audioPath = pathFor(record.id, kAudioExtension);
    if (const auto moved = m_fileSystem.rename(audioPath, record.audioPath); !moved) {
        // The runtime folder is usually a tmpfs, so the move crosses file systems.
        auto audio = m_fileSystem.readFile(audioPath);
        if (audio.status != FileSystem::ReadResult::Status::ok) {
            m_log.write("[Quillo] Could not keep the recording " + audioPath + ": " + moved.error + "; " + audio.error);
            return std::nullopt;
        }
        if (const auto copied = m_fileSystem.writeFileAtomically(record.audioPath, audio.contents, kFileMode);
            !copied) {
            m_log.write("[Quillo] Could not keep the recording " + audioPath + ": " + copied.error);
            return std::nullopt;
        }
        m_fileSystem.removeFile(audioPath);
    }
    if (!writeRecordLocked(record)) {
        // Without its record the recording is still kept: adoptLeftovers() gives
        // it one at the next start. Putting it back could fail just the same.
        return std::nullopt;
    }
    m_fileSystem.removeFile(audioPath + kNoteSuffix);
    return record;
}

std::optional<KeptDictation> KeptDictationStore::readRecordLocked(const std::string& id) const
{
    const auto text = m_fileSystem.readFile(pathFor(id, kRecordExtension));
    if (text.status != FileSystem::ReadResult::Status::ok) {
        return std::nullopt;
    }
    auto record = decode(text.contents);
    if (!record || !m_fileSystem.exists(pathFor(id, kAudioExtension))) {
        return std::nullopt;
    }
    record->id = id; // the file's name is what the other operations go by
    record->audioPath = pathFor(id, kAudioExtension);
    return record;
}

std::vector<KeptDictation> KeptDictationStore::list() const
{
    std::lock_guard lock(m_mutex);
    std::vector<KeptDictation> records;
    for (const auto& name : m_fileSystem.listFiles(m_directory)) {
        if (endsWith(name, kRecordExtension)) {
            if (auto record =
                    readRecordLocked(name.substr(0, name.size() - std::char_traits<char>::length(kRecordExtension)))) {
                records.push_back(std::move(*record));
            }
        }
    }
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a.date != b.date ? a.date < b.date : a.id < b.id;
    });
    return records;
}

std::optional<KeptDictation> KeptDictationStore::find(const std::string& id) const
{
    // An id is a file name inside the folder, never a path.
    if (id.empty() || id.find('/') != std::string::npos || id.starts_with(".")) {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    return readRecordLocked(id);
}

bool KeptDictationStore::updateError(const std::string& id, const std::string& error)
{
    auto record = find(id);
    if (!record) {
        return false;
    }
    record->error = error;
    bool written = false;
    {
        std::lock_guard lock(m_mutex);
        written = writeRecordLocked(*record);
    }
    m_observers.notify();
    return written;
}

bool KeptDictationStore::remove(const std::string& id)
{
    if (!find(id)) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        // The record goes first: a recording without one is recovered, a record
        // without its recording is just skipped.
        m_fileSystem.removeFile(pathFor(id, kRecordExtension));
        m_fileSystem.removeFile(pathFor(id, kAudioExtension));
    }
    m_observers.notify();
    return true;
}

std::size_t KeptDictationStore::removeExpired()
{
    const double cutoff = toReferenceSeconds(m_clock.now()) - kKeepDays * 86400.0;
    std::size_t removed = 0;
    for (const auto& record : list()) {
        if (record.date < cutoff && remove(record.id)) {
            ++removed;
        }
    }
    return removed;
}

void KeptDictationStore::noteProcessing(const std::string& audioPath, const KeptDictation& record)
{
    std::lock_guard lock(m_mutex);
    // Best effort: without the note a leftover recording is still recovered,
    // only with less about it.
    m_fileSystem.writeFileAtomically(audioPath + kNoteSuffix, encode(record), kFileMode);
}

void KeptDictationStore::forgetProcessing(const std::string& audioPath)
{
    std::lock_guard lock(m_mutex);
    m_fileSystem.removeFile(audioPath + kNoteSuffix);
}

std::size_t KeptDictationStore::adoptLeftovers(const std::string& recordingsDirectory, const std::string& error)
{
    std::size_t adopted = 0;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& name : m_fileSystem.listFiles(recordingsDirectory)) {
            const std::string path = recordingsDirectory + "/" + name;
            if (endsWith(name, std::string(kAudioExtension) + kNoteSuffix)) {
                if (!m_fileSystem.exists(path.substr(0, path.size() - std::char_traits<char>::length(kNoteSuffix)))) {
                    m_fileSystem.removeFile(path); // the note of a dictation that finished
                }
                continue;
            }
            const auto started = recordingStart(name);
            if (!started) {
                continue;
            }
            KeptDictation record;
            const auto note = m_fileSystem.readFile(path + kNoteSuffix);
            if (auto noted = note.status == FileSystem::ReadResult::Status::ok ? decode(note.contents) : std::nullopt) {
                record = std::move(*noted);
            } else {
                record.date = *started;
            }
            record.error = error;
            if (keepLocked(path, std::move(record))) {
                ++adopted;
            }
        }
        // A recording in the folder whose record was never written.
        for (const auto& name : m_fileSystem.listFiles(m_directory)) {
            if (!endsWith(name, kAudioExtension)) {
                continue;
            }
            const std::string id = name.substr(0, name.size() - std::char_traits<char>::length(kAudioExtension));
            if (!m_fileSystem.exists(pathFor(id, kRecordExtension))) {
                KeptDictation record;
                record.id = id;
                record.date = toReferenceSeconds(m_clock.now());
                record.error = error;
                if (writeRecordLocked(record)) {
                    ++adopted;
                }
            }
        }
    }
    if (adopted > 0) {
        m_observers.notify();
    }
    return adopted;
}

bool KeptDictationStore::keepHistoryEntries(const std::vector<DictationEntry>& entries)
{
    std::lock_guard lock(m_mutex);
    if (entries.empty()) {
        return true;
    }
    auto result = m_fileSystem.createDirectories(m_directory, kDirectoryMode);
    if (result) {
        const double now = toReferenceSeconds(m_clock.now());
        result = m_fileSystem.writeFileAtomically(pathFor(newIdLocked(now), kHistoryExtension),
                                                  encodeHistory(entries),
                                                  kFileMode);
    }
    if (!result) {
        m_log.write("[Quillo] Could not keep " + std::to_string(entries.size()) +
                    " unsaved history entries: " + result.error);
    }
    return result.ok;
}

std::vector<DictationEntry> KeptDictationStore::takeHistoryEntries()
{
    std::lock_guard lock(m_mutex);
    std::vector<DictationEntry> entries;
    for (const auto& name : m_fileSystem.listFiles(m_directory)) {
        if (!endsWith(name, kHistoryExtension)) {
            continue;
        }
        const std::string path = m_directory + "/" + name;
        const auto text = m_fileSystem.readFile(path);
        auto decoded = text.status == FileSystem::ReadResult::Status::ok ? decodeHistory(text.contents)
                                                                         : DecodedList<DictationEntry>{};
        if (text.status != FileSystem::ReadResult::Status::ok || !decoded.ok) {
            m_log.write("[Quillo] Could not read the kept history entries in " + path + "; the file stays.");
            continue;
        }
        entries.insert(entries.end(), decoded.records.begin(), decoded.records.end());
        m_fileSystem.removeFile(path);
    }
    return entries;
}

} // namespace quillo
