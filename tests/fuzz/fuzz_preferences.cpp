// preferences.json as a user may have edited it: loading never crashes, every
// typed read answers, and a write still saves a file that loads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/RecordingLog.h"
#include "platform/linux/JsonPreferences.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillo;
    const std::string path = "/config/quillo/preferences.json";
    test::FakeFileSystem fileSystem;
    test::RecordingLog log;
    test::FakeClock clock;
    fileSystem.put(path, std::string(reinterpret_cast<const char*>(data), size), 0600);

    JsonPreferences preferences(fileSystem, log, clock, path);
    for (const char* key : {"holdKeyCodes",
                            "enabledLanguages",
                            "quillo.streamingEnabled",
                            "cleanupInstructions",
                            "selectedMicUID",
                            "dictionaryWords",
                            "hotkeyCode"}) {
        (void)preferences.object(key);
        (void)preferences.boolForKey(key);
        (void)preferences.integerForKey(key);
        (void)preferences.arrayForKey(key);
        (void)preferences.stringArrayForKey(key);
        (void)preferences.stringForKey(key);
    }
    preferences.setObject("cleanupInstructions", Preferences::Value("fuzz"));

    JsonPreferences reloaded(fileSystem, log, clock, path);
    if (reloaded.stringForKey("cleanupInstructions") != std::optional<std::string>("fuzz")) {
        std::abort();
    }
    return 0;
}
