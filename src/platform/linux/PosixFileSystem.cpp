#include "platform/linux/PosixFileSystem.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo {

namespace {

std::string describe(const std::string& what, const std::string& path, int error)
{
    return what + " " + path + ": " + std::strerror(error);
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Closes the descriptor on every path out of a function.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace

FileSystem::ReadResult PosixFileSystem::readFile(const std::string& path) const
{
    ReadResult result;
    // Non-blocking, so that opening a FIFO returns at once; it is refused below.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        result.status = errno == ENOENT ? ReadResult::Status::notFound : ReadResult::Status::failed;
        result.error = describe("cannot open", path, errno);
        return result;
    }
    auto refuse = [&](const std::string& why) {
        result.status = ReadResult::Status::failed;
        result.error = "cannot read " + path + ": " + why;
        return result;
    };
    struct stat info
    {};
    if (::fstat(fd.get(), &info) != 0) {
        result.status = ReadResult::Status::failed;
        result.error = describe("cannot read", path, errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        return refuse("it is not a regular file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxReadSize) {
        return refuse("it is larger than " + std::to_string(kMaxReadSize >> 20) + " MB");
    }
    // Reading straight into a buffer of the file's size avoids growing (and
    // copying) a large file's contents a chunk at a time; the loop still copes
    // with a file that changes size while it is read.
    std::size_t capacity = 1 << 16;
    if (info.st_size > 0) {
        capacity = static_cast<std::size_t>(info.st_size) + 1;
    }
    std::size_t size = 0;
    result.contents.resize(capacity);
    for (;;) {
        if (size == result.contents.size()) {
            if (size > kMaxReadSize) {
                result.contents.clear();
                return refuse("it is larger than " + std::to_string(kMaxReadSize >> 20) + " MB");
            }
            result.contents.resize(result.contents.size() * 2);
        }
        const ssize_t n = ::read(fd.get(), result.contents.data() + size, result.contents.size() - size);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.status = ReadResult::Status::failed;
            result.error = describe("cannot read", path, errno);
            result.contents.clear();
            return result;
        }
        size += static_cast<std::size_t>(n);
    }
    result.contents.resize(size);
    return result;
}

void PosixFileSystem::removeStaleTemporaries(const std::string& path)
{
    const std::string directory = parentOf(path);
    const std::string prefix = path.substr(path.find_last_of('/') + 1) + ".tmp-";
    DIR* listing = ::opendir(directory.c_str());
    if (!listing) {
        return;
    }
    const auto staleBefore = std::chrono::system_clock::now() - kStaleTemporaryAge;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        // Exactly the names mkstemp gave: the prefix and six characters.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        struct stat info
        {};
        if (::fstatat(::dirfd(listing), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::getuid() || std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec) > staleBefore) {
            continue;
        }
        ::unlinkat(::dirfd(listing), name.c_str(), 0);
    }
    ::closedir(listing);
}

FileSystem::Result
PosixFileSystem::writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode)
{
    std::string tempPath = path + ".tmp-XXXXXX";
    std::vector<char> templ(tempPath.begin(), tempPath.end());
    templ.push_back('\0');
    FileDescriptor fd(::mkstemp(templ.data()));
    if (fd.get() < 0) {
        return Result::failure(describe("cannot create a temporary file for", path, errno));
    }
    tempPath = templ.data();
    auto fail = [&](const std::string& what) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        return Result::failure(describe(what, path, error));
    };

    if (::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) {
        return fail("cannot set the mode of");
    }
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd.get(), contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0) {
        return fail("cannot sync");
    }
    if (::close(fd.release()) != 0) {
        return fail("cannot close");
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        return fail("cannot replace");
    }
    // Make the rename itself durable.
    FileDescriptor dir(::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return Result::success();
}

FileSystem::Result PosixFileSystem::createDirectories(const std::string& path, std::uint32_t mode)
{
    if (path.empty()) {
        return Result::failure("empty directory path");
    }
    std::size_t position = 0;
    while (position != std::string::npos) {
        position = path.find('/', position + 1);
        const std::string prefix = path.substr(0, position);
        if (prefix.empty()) {
            continue;
        }
        const bool last = position == std::string::npos || position + 1 == path.size();
        const mode_t dirMode = last ? static_cast<mode_t>(mode) : 0755;
        if (::mkdir(prefix.c_str(), dirMode) == 0) {
            if (last) {
                ::chmod(prefix.c_str(), dirMode); // mkdir's mode is filtered by the umask
            }
        } else if (errno != EEXIST) {
            return Result::failure(describe("cannot create directory", prefix, errno));
        }
        if (last) {
            break;
        }
    }
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Result::failure("not a directory: " + path);
    }
    return Result::success();
}

FileSystem::Result PosixFileSystem::createPrivateDirectory(const std::string& path)
{
    if (auto created = createDirectories(path, 0700); !created) {
        return created;
    }
    struct stat info
    {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Result::failure("the folder " + path + " is not a folder of its own (a link or a file)");
    }
    if (info.st_uid != ::getuid()) {
        return Result::failure("the folder " + path + " belongs to another user");
    }
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return Result::failure("the folder " + path + " is open to other users (mode " + mode + ")");
    }
    return Result::success();
}

FileSystem::Result PosixFileSystem::rename(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return Result::failure(describe("cannot rename", from, errno));
    }
    return Result::success();
}

FileSystem::Result PosixFileSystem::removeFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0) {
        return Result::failure(describe("cannot remove", path, errno));
    }
    return Result::success();
}

bool PosixFileSystem::exists(const std::string& path) const
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::string> PosixFileSystem::listFiles(const std::string& path) const
{
    std::vector<std::string> names;
    DIR* directory = ::opendir(path.c_str());
    if (!directory) {
        return names;
    }
    while (const dirent* entry = ::readdir(directory)) {
        struct stat info
        {};
        // lstat: a symbolic link planted in a private folder is not ours to follow.
        if (::fstatat(::dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(directory);
    return names;
}

} // namespace quillo
