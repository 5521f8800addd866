#pragma once

#include <map>
#include <mutex>
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

    ReadResult readFile(const std::string& path) const override;
    Result writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode) override;
    Result createDirectories(const std::string& path, std::uint32_t mode) override;
    Result createPrivateDirectory(const std::string& path) override;
    // Writes here leave no temporaries behind.
    void removeStaleTemporaries(const std::string&) override {}
    Result rename(const std::string& from, const std::string& to) override;
    Result removeFile(const std::string& path) override;
    bool exists(const std::string& path) const override;
    std::vector<std::string> listFiles(const std::string& path) const override;

    // Test controls.
    void put(const std::string& path, std::string contents, std::uint32_t mode = 0644);
    std::optional<File> file(const std::string& path) const;
    std::optional<std::uint32_t> directoryMode(const std::string& path) const;
    std::vector<std::string> paths() const;
    // The next `count` atomic writes fail (nothing is changed on "disk").
    void failWrites(int count = 1);
    // The next `count` renames fail (a move across file systems, for example).
    void failRenames(int count = 1);
    // Reads of this path fail with an I/O error.
    void failReadsOf(const std::string& path);

private:
    mutable std::mutex m_mutex; // guards everything below
    std::map<std::string, File> m_files;
    std::map<std::string, std::uint32_t> m_directories;
    std::set<std::string> m_failingReads;
    int m_failWrites = 0;
    int m_failRenames = 0;
};

} // namespace quillo::test
