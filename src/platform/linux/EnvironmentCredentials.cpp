#include "platform/linux/EnvironmentCredentials.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "platform/FileSystem.h"
#include "platform/Log.h"

namespace quillo {

namespace {

std::optional<std::string> trimmedKey(const std::string& value)
{
    const auto first = value.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const auto last = value.find_last_not_of(" \t\r\n");
    return value.substr(first, last - first + 1);
}

} // namespace

EnvironmentCredentials::EnvironmentCredentials(FileSystem& fileSystem,
                                               Log& log,
                                               std::string filePath,
                                               EnvironmentLookup environment)
    : m_fileSystem(fileSystem), m_log(log), m_filePath(std::move(filePath)), m_environment(std::move(environment))
{}

std::optional<std::string> EnvironmentCredentials::openAIKey() const
{
    return lookUp(kOpenAIName);
}

std::optional<std::string> EnvironmentCredentials::deepgramKey() const
{
    return lookUp(kDeepgramName);
}

std::optional<std::string> EnvironmentCredentials::lookUp(const std::string& name) const
{
    if (auto key = fromEnvironment(name)) {
        return key;
    }
    return fromFile(name);
}

std::optional<std::string> EnvironmentCredentials::fromEnvironment(const std::string& name) const
{
    if (auto value = m_environment(name)) {
        return trimmedKey(*value);
    }
    return std::nullopt;
}

FileSystem::Result EnvironmentCredentials::storeInFile(const std::string& name, const std::optional<std::string>& key)
{
    nlohmann::json document = nlohmann::json::object();
    const auto read = m_fileSystem.readFile(m_filePath);
    if (read.status == FileSystem::ReadResult::Status::failed) {
        return FileSystem::Result::failure(read.error);
    }
    if (read.status == FileSystem::ReadResult::Status::ok) {
        auto existing = nlohmann::json::parse(read.contents, nullptr, false);
        if (existing.is_object()) {
            document = std::move(existing);
        } else if (!key) {
            return FileSystem::Result::success(); // nothing of ours to remove
        }
    }
    if (key) {
        document[name] = *key;
    } else if (document.erase(name) == 0) {
        return FileSystem::Result::success();
    }
    const auto slash = m_filePath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (auto made = m_fileSystem.createDirectories(m_filePath.substr(0, slash), 0700); !made) {
            return made;
        }
    }
    return m_fileSystem.writeFileAtomically(m_filePath, document.dump(2) + "\n", 0600);
}

std::optional<std::string> EnvironmentCredentials::fromFile(const std::string& name) const
{
    const auto read = m_fileSystem.readFile(m_filePath);
    if (read.status != FileSystem::ReadResult::Status::ok) {
        if (read.status == FileSystem::ReadResult::Status::failed) {
            warnOnce(m_warnedMalformed, "[Quillo] Cannot read " + m_filePath + ": " + read.error);
        }
        return std::nullopt;
    }

    struct stat info
    {};
    if (::stat(m_filePath.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
        warnOnce(m_warnedPermissions,
                 "[Quillo] " + m_filePath + " can be read by other users; make it private with chmod 600");
    }

    const auto document = nlohmann::json::parse(read.contents, nullptr, false);
    if (!document.is_object()) {
        warnOnce(m_warnedMalformed, "[Quillo] Ignoring " + m_filePath + ": it is not a JSON object");
        return std::nullopt;
    }
    const auto found = document.find(name);
    if (found == document.end()) {
        return std::nullopt;
    }
    if (!found->is_string()) {
        warnOnce(m_warnedMalformed, "[Quillo] Ignoring " + name + " in " + m_filePath + ": it is not a string");
        return std::nullopt;
    }
    return trimmedKey(found->get<std::string>());
}

void EnvironmentCredentials::warnOnce(std::atomic<bool>& flag, const std::string& line) const
{
    if (!flag.exchange(true)) {
        m_log.write(line);
    }
}

} // namespace quillo
