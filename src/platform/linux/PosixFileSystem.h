#pragma once

#include "platform/FileSystem.h"

namespace quillo {

// The real disk, through POSIX calls so that atomic replacement, permissions
// and fsync are exactly what the contract promises.
class PosixFileSystem final : public FileSystem
{
public:
    ReadResult readFile(const std::string& path) const override;
    Result writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode) override;
    Result createDirectories(const std::string& path, std::uint32_t mode) override;
    Result rename(const std::string& from, const std::string& to) override;
    Result removeFile(const std::string& path) override;
    bool exists(const std::string& path) const override;
    std::vector<std::string> listFiles(const std::string& path) const override;
};

} // namespace quillo
