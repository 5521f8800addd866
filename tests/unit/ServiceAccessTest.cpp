#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "fakes/FakeFileSystem.h"
#include "fakes/RecordingLog.h"
#include "platform/linux/EnvironmentCredentials.h"
#include "platform/linux/EnvironmentEndpoints.h"
#include "platform/linux/PosixFileSystem.h"

namespace quillo::test {
namespace {

using Variables = std::map<std::string, std::string>;

EnvironmentLookup lookupIn(Variables variables)
{
    return [variables = std::move(variables)](const std::string& name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    };
}

constexpr const char* kPath = "/home/u/.config/quillo/credentials.json";

TEST(EnvironmentCredentialsTest, EnvironmentFirstThenTheFile)
{
    // The environment, the file, the keys read, whether the file's trouble is logged.
    using Key = std::optional<std::string>;
    const std::vector<std::tuple<Variables, std::string, Key, Key, bool>> cases = {
        // The environment first, blank variables aside, and white space dropped.
        {{{"OPENAI_API_KEY", " sk-env\n"}, {"DEEPGRAM_API_KEY", " \n"}},
         R"({"OPENAI_API_KEY": "sk-file", "DEEPGRAM_API_KEY": " dg-file\n"})",
         "sk-env",
         "dg-file",
         false},
        {{}, R"({"OPENAI_API_KEY": 42, "DEEPGRAM_API_KEY": "dg-file"})", std::nullopt, "dg-file", true},
        {{}, "OPENAI_API_KEY=sk-broken", std::nullopt, std::nullopt, true},
    };
    for (const auto& [environment, file, openAI, deepgram, logged] : cases) {
        FakeFileSystem disk;
        disk.put(kPath, file, 0600);
        RecordingLog log;
        EnvironmentCredentials credentials(disk, log, kPath, lookupIn(environment));
        EXPECT_EQ(credentials.openAIKey(), openAI) << "case " << file;
        EXPECT_EQ(credentials.deepgramKey(), deepgram) << "case " << file;
        EXPECT_EQ(credentials.openAIKey(), openAI) << "case " << file << ", read again";
        EXPECT_EQ(log.lines().size(), logged ? 1u : 0u) << "case " << file << ": reported once";
        for (const auto& line : log.lines()) {
            EXPECT_NE(line.find(kPath), std::string::npos) << "case " << file << ": " << line;
            EXPECT_EQ(line.find("sk-"), std::string::npos) << "case " << file << ": " << line;
        }
    }
}

TEST(EnvironmentCredentialsTest, KeysAddedWhileRunningAreUsedAndStoringOneKeepsTheOthersAndTheFilePrivate)
{
    FakeFileSystem disk;
    RecordingLog log;
    EnvironmentCredentials credentials(disk, log, kPath, lookupIn({{"OPENAI_API_KEY", "sk-env"}}));
    EXPECT_EQ(credentials.deepgramKey(), std::nullopt);
    disk.put(kPath, R"({"DEEPGRAM_API_KEY":"dg-1","note":"mine"})", 0644);
    ASSERT_TRUE(credentials.storeInFile(EnvironmentCredentials::kOpenAIName, "sk-saved"));
    EXPECT_EQ(credentials.fromFile(EnvironmentCredentials::kOpenAIName), "sk-saved");
    EXPECT_EQ(credentials.deepgramKey(), "dg-1");
    EXPECT_EQ(disk.file(kPath)->mode, 0600u);
    EXPECT_NE(disk.file(kPath)->contents.find("\"note\""), std::string::npos);

    ASSERT_TRUE(credentials.storeInFile(EnvironmentCredentials::kDeepgramName, std::nullopt));
    EXPECT_EQ(credentials.deepgramKey(), std::nullopt);

    disk.failWrites();
    EXPECT_FALSE(credentials.storeInFile(EnvironmentCredentials::kOpenAIName, "sk-other"));
    EXPECT_EQ(credentials.fromFile(EnvironmentCredentials::kOpenAIName), "sk-saved");
}

TEST(EnvironmentCredentialsTest, AFileOthersCanReadIsReported)
{
    const auto directory =
        std::filesystem::temp_directory_path() / ("quillo-credentials-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string path = (directory / "credentials.json").string();
    PosixFileSystem disk;
    for (const std::uint32_t mode : {0600u, 0644u}) {
        ASSERT_TRUE(disk.writeFileAtomically(path, R"({"OPENAI_API_KEY":"sk-disk"})", mode));
        ::chmod(path.c_str(), mode);
        RecordingLog log;
        EnvironmentCredentials credentials(disk, log, path, lookupIn({}));
        EXPECT_EQ(credentials.openAIKey(), "sk-disk") << std::oct << mode;
        ASSERT_EQ(log.lines().size(), mode == 0600u ? 0u : 1u) << std::oct << mode;
        if (mode != 0600u) {
            EXPECT_NE(log.lines()[0].find("chmod 600"), std::string::npos) << log.lines()[0];
            EXPECT_EQ(log.lines()[0].find("sk-disk"), std::string::npos);
        }
    }
    std::filesystem::remove_all(directory);
}

TEST(EnvironmentEndpointsTest, OverridesLoseTheirTrailingSlashesAndEmptyVariablesAreUnset)
{
    const EnvironmentEndpoints overridden(lookupIn({{"QUILLO_OPENAI_BASE_URL", "http://127.0.0.1:8001/v1/"},
                                                    {"QUILLO_DEEPGRAM_BASE_URL", "http://127.0.0.1:8002/v1//"},
                                                    {"QUILLO_DEEPGRAM_STREAM_URL", "ws://127.0.0.1:8003/v1/listen"}}));
    EXPECT_EQ(overridden.openAIBase(), "http://127.0.0.1:8001/v1");
    EXPECT_EQ(overridden.deepgramBase(), "http://127.0.0.1:8002/v1");
    EXPECT_EQ(overridden.deepgramStreamURL(), "ws://127.0.0.1:8003/v1/listen");

    // An empty variable reads as unset.
    ::setenv("QUILLO_TEST_VARIABLE", "", 1);
    EXPECT_EQ(processEnvironment("QUILLO_TEST_VARIABLE"), std::nullopt);
    ::unsetenv("QUILLO_TEST_VARIABLE");
}

} // namespace
} // namespace quillo::test
