#pragma once

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace quillo::test {

// An in-memory disk. Writes are atomic like the real one; failures can be
// injected so tests see what a full disk or a broken file does.
class FakeFileSystem final : public FileSystem
{
public:
    struct File
    {
        std::string contents;
        std::uint32_t mode = 0644;
    };

    ReadResult readFile(const std::string& path) const override
    {
        std::lock_guard lock(m_mutex);
        ReadResult result;
        const auto found = m_files.find(path);
        if (m_failingReads.count(path) || found == m_files.end()) {
            result.status = m_failingReads.count(path) ? ReadResult::Status::failed : ReadResult::Status::notFound;
            result.error = "injected failure or no such file";
        } else {
            result.contents = found->second.contents;
        }
        return result;
    }
    Result writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode) override
    {
        std::lock_guard lock(m_mutex);
        if (m_failWrites > 0) {
            --m_failWrites;
            return Result::failure("injected write failure (disk full)");
        }
        m_files[path] = File{contents, mode};
        return Result::success();
    }
    Result createDirectories(const std::string& path, std::uint32_t mode) override
    {
        std::lock_guard lock(m_mutex);
        m_directories.emplace(path, mode);
        return Result::success();
    }
    Result createPrivateDirectory(const std::string& path) override
    {
        std::lock_guard lock(m_mutex);
        const auto [found, created] = m_directories.emplace(path, 0700);
        return created || (found->second & 077) == 0 ? Result::success() : Result::failure(path + " is open to others");
    }
    // Writes here leave no temporaries behind.
    void removeStaleTemporaries(const std::string&) override {}
    Result rename(const std::string& from, const std::string& to) override
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_files.find(from);
        if (m_failRenames > 0 || found == m_files.end()) {
            m_failRenames = std::max(m_failRenames - 1, 0);
            return Result::failure("injected rename failure or no such file");
        }
        m_files[to] = found->second;
        m_files.erase(from);
        return Result::success();
    }
    Result removeFile(const std::string& path) override
    {
        std::lock_guard lock(m_mutex);
        return m_files.erase(path) ? Result::success() : Result::failure("no such file");
    }
    bool exists(const std::string& path) const override
    {
        std::lock_guard lock(m_mutex);
        return m_files.count(path) > 0 || m_directories.count(path) > 0;
    }
    std::vector<std::string> listFiles(const std::string& path) const override
    {
        std::vector<std::string> names;
        for (const auto& name : paths()) {
            if (name.starts_with(path + "/") && name.find('/', path.size() + 1) == std::string::npos) {
                names.push_back(name.substr(path.size() + 1));
            }
        }
        return names;
    }

    void put(const std::string& path, std::string contents, std::uint32_t mode = 0644)
    {
        std::lock_guard lock(m_mutex);
        m_files[path] = File{std::move(contents), mode};
    }
    std::optional<File> file(const std::string& path) const
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_files.find(path);
        return found == m_files.end() ? std::nullopt : std::optional<File>(found->second);
    }
    std::optional<std::uint32_t> directoryMode(const std::string& path) const
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_directories.find(path);
        return found == m_directories.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
    }
    std::vector<std::string> paths() const
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> result;
        for (const auto& entry : m_files) {
            result.push_back(entry.first);
        }
        return result;
    }
    // The next `count` atomic writes (renames) fail: a full disk (a move across file systems).
    void failWrites(int count = 1)
    {
        std::lock_guard lock(m_mutex);
        m_failWrites = count;
    }
    void failRenames(int count = 1)
    {
        std::lock_guard lock(m_mutex);
        m_failRenames = count;
    }
    // Reads of this path fail with an I/O error.
    void failReadsOf(const std::string& path)
    {
        std::lock_guard lock(m_mutex);
        m_failingReads.insert(path);
    }

private:
    mutable std::mutex m_mutex; // guards everything below
    std::map<std::string, File> m_files;
    std::map<std::string, std::uint32_t> m_directories;
    std::set<std::string> m_failingReads;
    int m_failWrites = 0;
    int m_failRenames = 0;
};

} // namespace quillo::test
