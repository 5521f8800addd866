#pragma once

#include <chrono>
#include <cstddef>

#include "platform/FileSystem.h"

namespace quillo {

// The real disk, through POSIX calls so that atomic replacement, permissions
// and fsync are exactly what the contract promises.
//
// Only regular files are read, up to kMaxReadSize: a FIFO would block the
// reader forever and a device such as /dev/zero never ends.
class PosixFileSystem final : public FileSystem
{
public:
    static constexpr std::size_t kMaxReadSize = std::size_t{1} << 30;
    // A temporary untouched for this long belongs to a save that will never finish.
    static constexpr std::chrono::minutes kStaleTemporaryAge{10};

    ReadResult readFile(const std::string& path) const override;
    Result writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode) override;
    Result createDirectories(const std::string& path, std::uint32_t mode) override;
    Result createPrivateDirectory(const std::string& path) override;
    void removeStaleTemporaries(const std::string& path) override;
    Result rename(const std::string& from, const std::string& to) override;
    Result removeFile(const std::string& path) override;
    bool exists(const std::string& path) const override;
    std::vector<std::string> listFiles(const std::string& path) const override;
};

} // namespace quillo
