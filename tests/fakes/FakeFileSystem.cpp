#include "fakes/FakeFileSystem.h"

namespace quillo::test {

FileSystem::ReadResult FakeFileSystem::readFile(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    ReadResult result;
    if (m_failingReads.count(path)) {
        result.status = ReadResult::Status::failed;
        result.error = "injected read failure";
        return result;
    }
    const auto found = m_files.find(path);
    if (found == m_files.end()) {
        result.status = ReadResult::Status::notFound;
        result.error = "no such file";
        return result;
    }
    result.contents = found->second.contents;
    return result;
}

FileSystem::Result
FakeFileSystem::writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode)
{
    std::lock_guard lock(m_mutex);
    if (m_failWrites > 0) {
        --m_failWrites;
        return Result::failure("injected write failure (disk full)");
    }
    m_files[path] = File{contents, mode};
    return Result::success();
}

FileSystem::Result FakeFileSystem::createDirectories(const std::string& path, std::uint32_t mode)
{
    std::lock_guard lock(m_mutex);
    m_directories.emplace(path, mode);
    return Result::success();
}

FileSystem::Result FakeFileSystem::createPrivateDirectory(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    const auto [found, created] = m_directories.emplace(path, 0700);
    if (!created && (found->second & 077) != 0) {
        return Result::failure("the folder " + path + " is open to other users");
    }
    return Result::success();
}

FileSystem::Result FakeFileSystem::rename(const std::string& from, const std::string& to)
{
    std::lock_guard lock(m_mutex);
    if (m_failRenames > 0) {
        --m_failRenames;
        return Result::failure("injected rename failure (cross-device link)");
    }
    const auto found = m_files.find(from);
    if (found == m_files.end()) {
        return Result::failure("no such file");
    }
    m_files[to] = found->second;
    m_files.erase(from);
    return Result::success();
}

FileSystem::Result FakeFileSystem::removeFile(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    return m_files.erase(path) ? Result::success() : Result::failure("no such file");
}

bool FakeFileSystem::exists(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return m_files.count(path) > 0 || m_directories.count(path) > 0;
}

std::vector<std::string> FakeFileSystem::listFiles(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    const std::string prefix = path + "/";
    std::vector<std::string> names;
    for (const auto& [name, file] : m_files) {
        if (name.starts_with(prefix) && name.find('/', prefix.size()) == std::string::npos) {
            names.push_back(name.substr(prefix.size()));
        }
    }
    return names;
}

void FakeFileSystem::put(const std::string& path, std::string contents, std::uint32_t mode)
{
    std::lock_guard lock(m_mutex);
    m_files[path] = File{std::move(contents), mode};
}

std::optional<FakeFileSystem::File> FakeFileSystem::file(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_files.find(path);
    return found == m_files.end() ? std::nullopt : std::optional<File>(found->second);
}

std::optional<std::uint32_t> FakeFileSystem::directoryMode(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_directories.find(path);
    return found == m_directories.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
}

std::vector<std::string> FakeFileSystem::paths() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> result;
    for (const auto& [path, file] : m_files) {
        result.push_back(path);
    }
    return result;
}

void FakeFileSystem::failWrites(int count)
{
    std::lock_guard lock(m_mutex);
    m_failWrites = count;
}

void FakeFileSystem::failRenames(int count)
{
    std::lock_guard lock(m_mutex);
    m_failRenames = count;
}

void FakeFileSystem::failReadsOf(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_failingReads.insert(path);
}

} // namespace quillo::test
