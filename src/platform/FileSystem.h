#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillo {

// The file operations the program's own data files need, so that tests can
// inject failures (a full disk mid-write, an unreadable file) without touching
// the real disk.
//
// Threading: any thread; operations on different paths are independent, and
// callers serialise operations on the same path themselves.
// Failure: every operation reports failure through its result with a short
// human-readable reason; none throws.
class FileSystem
{
public:
    struct Result
    {
        bool ok = true;
        std::string error; // empty when ok

        static Result success() { return {}; }
        static Result failure(std::string why) { return {false, std::move(why)}; }
        explicit operator bool() const { return ok; }
    };

    struct ReadResult
    {
        enum class Status
        {
            ok,
            notFound,
            failed
        };
        Status status = Status::ok;
        std::string contents;
        std::string error;
    };

    virtual ~FileSystem() = default;

    virtual ReadResult readFile(const std::string& path) const = 0;

    // Replaces the file atomically: a temporary file in the same directory is
    // written, flushed, synced and renamed over `path`, created with `mode`.
    // On failure the previous file is left exactly as it was.
    virtual Result writeFileAtomically(const std::string& path, const std::string& contents, std::uint32_t mode) = 0;

    // Creates the directory and its missing parents; the last component gets
    // `mode`. An existing directory is left as it is (its mode too).
    virtual Result createDirectories(const std::string& path, std::uint32_t mode) = 0;

    // Like createDirectories(path, 0700), then makes sure the directory is
    // this user's own and closed to everyone else. A directory that is not
    // (another user's, or open to others, in a shared place such as /tmp) is
    // refused, not used and not changed: someone else may be watching it.
    virtual Result createPrivateDirectory(const std::string& path) = 0;

    // Deletes the temporaries of writeFileAtomically(path) that an interrupted
    // process left behind: those nobody has written to for a while, so that a
    // save in progress in another process is not disturbed.
    virtual void removeStaleTemporaries(const std::string& path) = 0;

    virtual Result rename(const std::string& from, const std::string& to) = 0;
    virtual Result removeFile(const std::string& path) = 0;
    virtual bool exists(const std::string& path) const = 0;
    // The names of the regular files directly in `path`, in no particular
    // order; nothing when the directory is missing or unreadable.
    virtual std::vector<std::string> listFiles(const std::string& path) const = 0;
};

} // namespace quillo
