#include "platform/linux/JsonPreferences.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"

namespace quillo {

namespace {

constexpr std::uint32_t kFileMode = 0600;
constexpr std::uint32_t kDirectoryMode = 0700;
// Settings are a flat object with a few small arrays. Anything far deeper is
// not ours, and every save would pretty-print all of it on the GUI thread.
constexpr int kMaxNesting = 32;

// The deepest nesting of arrays and objects, strings skipped; stops counting
// once past `limit`.
int nestingDepth(std::string_view text, int limit)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                break;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

// "line 3, column 12" of a byte offset.
std::string lineAndColumn(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    const auto lines = std::count(before.begin(), before.end(), '\n');
    const auto lineStart = before.find_last_of('\n');
    const auto column = lineStart == std::string_view::npos ? offset : offset - lineStart - 1;
    return "line " + std::to_string(lines + 1) + ", column " + std::to_string(column + 1);
}

// The parser's message without its "[json.exception...] " prefix, with the
// place of an out-of-range number, which the parser does not name.
std::string describeParseError(std::string_view text, const nlohmann::json::exception& error)
{
    std::string message = error.what();
    if (message.rfind("[json.exception.", 0) == 0) {
        if (const auto end = message.find("] "); end != std::string::npos) {
            message.erase(0, end + 2);
        }
    }
    if (const auto quote = message.find('\''); error.id == 406 && quote != std::string::npos) {
        const std::string literal = message.substr(quote + 1, message.rfind('\'') - quote - 1);
        if (const auto at = text.find(literal); !literal.empty() && at != std::string_view::npos) {
            message += " at " + lineAndColumn(text, at);
        }
    }
    return message;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string lowercase(std::string s)
{
    for (auto& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

} // namespace

JsonPreferences::JsonPreferences(FileSystem& fileSystem, Log& log, const Clock& clock, std::string path)
    : m_fileSystem(fileSystem), m_log(log), m_clock(clock), m_path(std::move(path))
{
    load();
}

void JsonPreferences::load()
{
    m_fileSystem.removeStaleTemporaries(m_path);
    const auto read = m_fileSystem.readFile(m_path);
    if (read.status == FileSystem::ReadResult::Status::notFound) {
        return;
    }
    if (read.status == FileSystem::ReadResult::Status::failed) {
        moveAside("it could not be read (" + read.error + ")");
        return;
    }
    std::string_view text = read.contents;
    // Some editors on other systems start UTF-8 files with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    if (nestingDepth(text, kMaxNesting) > kMaxNesting) {
        moveAside("it nests arrays or objects more than " + std::to_string(kMaxNesting) + " levels deep");
        return;
    }
    Value parsed;
    try {
        parsed = Value::parse(text);
    } catch (const Value::exception& error) {
        moveAside("it is not valid JSON: " + describeParseError(text, error));
        return;
    }
    if (!parsed.is_object()) {
        moveAside("it does not hold a JSON object");
        return;
    }
    m_values = std::move(parsed);
}

void JsonPreferences::moveAside(const std::string& reason)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(m_clock.now());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);

    std::string aside = m_path + ".corrupt-" + stamp;
    for (int n = 2; m_fileSystem.exists(aside); ++n) {
        aside = m_path + ".corrupt-" + stamp + "-" + std::to_string(n);
    }
    const auto moved = m_fileSystem.rename(m_path, aside);
    if (moved) {
        m_log.write("[Quillo] Preferences file " + m_path + " was set aside as " + aside + " because " + reason +
                    "; starting with default settings.");
    } else {
        m_log.write("[Quillo] Preferences file " + m_path + " is unusable because " + reason +
                    " and could not be set aside (" + moved.error + "); starting with default settings.");
    }
}

std::optional<Preferences::Value> JsonPreferences::object(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    if (auto found = m_values.find(key); found != m_values.end()) {
        return *found;
    }
    return std::nullopt;
}

bool JsonPreferences::boolForKey(const std::string& key) const
{
    const auto value = object(key);
    if (!value) {
        return false;
    }
    if (value->is_boolean()) {
        return value->get<bool>();
    }
    if (value->is_number()) {
        return value->get<double>() != 0;
    }
    if (value->is_string()) {
        const std::string s = lowercase(value->get<std::string>());
        return s == "true" || s == "yes" || s == "1";
    }
    return false;
}

std::int64_t JsonPreferences::integerForKey(const std::string& key) const
{
    const auto value = object(key);
    if (!value) {
        return 0;
    }
    if (value->is_number_integer()) {
        return value->get<std::int64_t>();
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18) {
            return 0;
        }
        return static_cast<std::int64_t>(d);
    }
    if (value->is_boolean()) {
        return value->get<bool>() ? 1 : 0;
    }
    if (value->is_string()) {
        const std::string s = value->get<std::string>();
        std::int64_t parsed = 0;
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), parsed);
        return error == std::errc() && end == s.data() + s.size() ? parsed : 0;
    }
    return 0;
}

std::optional<std::vector<Preferences::Value>> JsonPreferences::arrayForKey(const std::string& key) const
{
    const auto value = object(key);
    if (!value || !value->is_array()) {
        return std::nullopt;
    }
    return value->get<std::vector<Value>>();
}

std::optional<std::vector<std::string>> JsonPreferences::stringArrayForKey(const std::string& key) const
{
    const auto value = object(key);
    if (!value || !value->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> strings;
    strings.reserve(value->size());
    for (const auto& element : *value) {
        if (!element.is_string()) {
            return std::nullopt;
        }
        strings.push_back(element.get<std::string>());
    }
    return strings;
}

std::optional<std::string> JsonPreferences::stringForKey(const std::string& key) const
{
    const auto value = object(key);
    if (!value || !value->is_string()) {
        return std::nullopt;
    }
    return value->get<std::string>();
}

void JsonPreferences::setObject(const std::string& key, const Value& value)
{
    if (value.is_null()) {
        removeObject(key);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_values[key] = value;
        persistLocked();
    }
    notifyObservers(key);
}

void JsonPreferences::removeObject(const std::string& key)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_values.erase(key) == 0) {
            return;
        }
        persistLocked();
    }
    notifyObservers(key);
}

void JsonPreferences::persistLocked()
{
    // Written under the lock so the file always matches the latest write.
    const auto directory = m_fileSystem.createDirectories(directoryOf(m_path), kDirectoryMode);
    const auto written =
        directory
            ? m_fileSystem.writeFileAtomically(m_path,
                                               m_values.dump(2, ' ', false, Value::error_handler_t::replace) + "\n",
                                               kFileMode)
            : directory;
    if (!written) {
        m_log.write("[Quillo] Could not save preferences: " + written.error);
    }
}

Preferences::ObserverToken JsonPreferences::addObserver(Observer observer)
{
    return m_observers.add(std::move(observer));
}

void JsonPreferences::removeObserver(ObserverToken token)
{
    m_observers.remove(token);
}

void JsonPreferences::notifyObservers(const std::string& key)
{
    m_observers.notify(key);
}

} // namespace quillo
