#pragma once

#include <atomic>
#include <string>

#include "platform/Credentials.h"
#include "platform/FileSystem.h"
#include "platform/linux/Environment.h"

namespace quillo {

class Log;

// Keys from OPENAI_API_KEY and DEEPGRAM_API_KEY, else from the members of the
// same names in a JSON object file (normally $XDG_CONFIG_HOME/quillo/
// credentials.json, which the user keeps at mode 0600):
//
//     {"OPENAI_API_KEY": "sk-...", "DEEPGRAM_API_KEY": "..."}
//
// White space around a key is dropped; an empty key counts as none. A file
// that is not such an object, or one other users may read, is reported once in
// the log (by its path only) and still read where possible.
class EnvironmentCredentials final : public Credentials
{
public:
    static constexpr const char* kOpenAIName = "OPENAI_API_KEY";
    static constexpr const char* kDeepgramName = "DEEPGRAM_API_KEY";

    EnvironmentCredentials(FileSystem& fileSystem,
                           Log& log,
                           std::string filePath,
                           EnvironmentLookup environment = processEnvironment);

    std::optional<std::string> openAIKey() const override;
    std::optional<std::string> deepgramKey() const override;

    // The two places apart, `name` being kOpenAIName or kDeepgramName.
    std::optional<std::string> fromEnvironment(const std::string& name) const;
    std::optional<std::string> fromFile(const std::string& name) const;
    // Sets the member `name` of the file (removes it for nothing), keeping
    // the other members; the file is written private (0600), its folder 0700.
    FileSystem::Result storeInFile(const std::string& name, const std::optional<std::string>& key);
    const std::string& filePath() const { return m_filePath; }

private:
    std::optional<std::string> lookUp(const std::string& name) const;
    void warnOnce(std::atomic<bool>& flag, const std::string& line) const;

    FileSystem& m_fileSystem;
    Log& m_log;
    const std::string m_filePath;
    const EnvironmentLookup m_environment;
    mutable std::atomic<bool> m_warnedMalformed{false};
    mutable std::atomic<bool> m_warnedPermissions{false};
};

} // namespace quillo
