#include "store/DataStore.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePreferences.h"
#include "fakes/RecordingLog.h"
#include "store/KeptDictations.h"
#include "store/RecordJson.h"

namespace quillo {
namespace {

constexpr const char* kDir = "/home/u/.local/share/Quillo";
constexpr const char* kHistory = "/home/u/.local/share/Quillo/history.json";
constexpr const char* kSnippets = "/home/u/.local/share/Quillo/snippets.json";
constexpr const char* kOldEntry =
    R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"kept from before","date":790000000.5}])";

class DataStoreTest : public ::testing::Test
{
protected:
    std::unique_ptr<DataStore> open() { return std::make_unique<DataStore>(disk, preferences, log, clock, kDir); }
    std::string fileContents(const std::string& path) const
    {
        const auto file = disk.file(path);
        return file ? file->contents : "<missing>";
    }

    test::FakeFileSystem disk;
    test::FakePreferences preferences;
    test::RecordingLog log;
    test::FakeClock clock;
};

TEST_F(DataStoreTest, LoadsWhatAnEarlierSessionSaved)
{
    {
        auto store = open();
        clock.advance(std::chrono::seconds(1));
        store->addEntry("first", 2.5, "org.gnome.Terminal", "Terminal");
        clock.advance(std::chrono::seconds(1));
        store->addEntry("second", 0, std::nullopt, std::nullopt);
        store->addSnippet("sig", "Best regards");
        store->addWord("Kubernetes");
    }
    EXPECT_EQ(disk.directoryMode(kDir), 0700u);
    EXPECT_EQ(disk.file(kHistory)->mode, 0600u);
    EXPECT_EQ(disk.file(kSnippets)->mode, 0600u);

    const auto texts = [](const DataStore& store) {
        std::vector<std::string> result;
        for (const auto& entry : store.history()) {
            result.push_back(entry.text());
        }
        return result;
    };
    auto reopened = open();
    const auto history = reopened->history();
    EXPECT_EQ(texts(*reopened), (std::vector<std::string>{"second", "first"})) << "newest first, in memory and on disk";
    EXPECT_EQ(history.at(0).time() - history.at(1).time(), std::chrono::seconds(1));
    EXPECT_EQ(reopened->snippets().at(0).expansion, "Best regards");
    EXPECT_EQ(reopened->dictionaryWords(), std::vector<std::string>{"Kubernetes"});

    // A dictation retried later is filed under its own, earlier date.
    reopened->addEntryMadeAt(history[1].date() - 60, "retried", 1.5, std::nullopt, std::nullopt);
    reopened->addEntry("third", 0, std::nullopt, std::nullopt);
    EXPECT_EQ(texts(*open()), (std::vector<std::string>{"third", "second", "first", "retried"}));
}

TEST_F(DataStoreTest, UnusableFileIsSetAsideUntouchedAndTheListStartsEmpty)
{
    const std::string aside = std::string(kHistory) + ".unreadable-20260302T090000Z";
    // A malformed entry, then a file that cannot be read.
    for (const bool failRead : {false, true}) {
        const std::string contents =
            failRead ? kOldEntry : R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"no date"}])";
        test::FakeFileSystem caseDisk;
        caseDisk.put(kHistory, contents);
        caseDisk.put(aside, "older"); // set aside earlier in the same second: must not be replaced
        if (failRead) {
            caseDisk.failReadsOf(kHistory);
        }
        DataStore store(caseDisk, preferences, log, clock, kDir);
        EXPECT_TRUE(store.history().empty()) << "case " << failRead;
        store.addEntry("new", 1, std::nullopt, std::nullopt);
        EXPECT_EQ(decodeHistory(caseDisk.file(kHistory)->contents).records.size(), 1u) << "case " << failRead;
        EXPECT_EQ(caseDisk.file(aside)->contents, "older") << "case " << failRead;
        ASSERT_TRUE(caseDisk.file(aside + "-2")) << "case " << failRead;
        EXPECT_EQ(caseDisk.file(aside + "-2")->contents, contents) << "case " << failRead;
    }
    EXPECT_EQ(log.lines().size(), 2u) << "each is logged";
}

TEST_F(DataStoreTest, FailedSavesKeepTheOldFileAreReportedOnceAndWhatTheyMissedOutlivesAQuit)
{
    disk.put(kHistory, kOldEntry);
    auto store = open();
    std::vector<std::string> reports;
    store->addSaveFailureObserver([&](const std::string& message) { reports.push_back(message); });
    disk.failWrites(2);
    store->addEntry("first", 1, std::nullopt, std::nullopt);
    store->addEntry("second", 1, std::nullopt, std::nullopt);
    EXPECT_EQ(fileContents(kHistory), kOldEntry);
    EXPECT_EQ(store->history().size(), 3u) << "the changes stay in memory";
    ASSERT_EQ(reports.size(), 1u) << "once, not at every change";
    EXPECT_EQ(store->unsavedEntries().size(), 2u);

    // Quitting before a save works: the missed entries wait in the kept folder.
    disk.failWrites(1);
    EXPECT_FALSE(store->saveHistoryNow());
    KeptDictationStore kept(disk, log, clock, std::string(kDir) + "/kept");
    ASSERT_TRUE(kept.keepHistoryEntries(store->unsavedEntries()));
    store.reset();

    auto relaunched = open();
    EXPECT_EQ(relaunched->history().size(), 1u);
    for (const auto& entry : kept.takeHistoryEntries()) {
        relaunched->addEntryMadeAt(entry.date(), entry.text(), entry.duration(), entry.appBundleID(), entry.appName());
    }
    EXPECT_EQ(decodeHistory(fileContents(kHistory)).records.size(), 3u);
    EXPECT_TRUE(kept.takeHistoryEntries().empty()) << "handed back once";
    EXPECT_TRUE(relaunched->unsavedEntries().empty());
}

TEST_F(DataStoreTest, EverySaveWritesExactlyTheEncodedHistory)
{
    // Saves splice new entries into the text of the last save; whatever the
    // loaded file looked like, the file must always be the list's encoding.
    disk.put(kHistory, R"( [ {"text":"spaced","extra":[1],"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","date":7.0} ] )");
    auto store = open();
    for (int i = 0; i < 3; ++i) {
        store->addEntry("entry " + std::to_string(i), i, std::nullopt, std::nullopt);
        EXPECT_EQ(fileContents(kHistory), encodeHistory(store->history())) << "save " << i;
    }
    store->clearHistory();
    EXPECT_EQ(fileContents(kHistory), "[]");
    store->addEntry("after clearing", 1, std::nullopt, std::nullopt);
    EXPECT_EQ(fileContents(kHistory), encodeHistory(store->history()));
    EXPECT_EQ(store->totalDictations(), 1u);
}

TEST_F(DataStoreTest, EditsOutsideTheListsChangeNothingAndOnlyAWholeTextTriggerExpands)
{
    auto store = open();
    store->addWord("kept");
    store->addSnippet(" b ", "");
    const std::string snippets = fileContents(kSnippets);
    store->removeWord({5});
    store->updateSnippet({"6F9619FF-8B86-D011-B42D-00C04FC964FF", "x", "y"});
    store->removeSnippet({3, 4});
    EXPECT_EQ(store->dictionaryWords(), std::vector<std::string>{"kept"});
    EXPECT_EQ(fileContents(kSnippets), snippets);
    EXPECT_EQ(store->snippets().at(0).trigger, " b ") << "stored exactly as given";

    store->addSnippet("SIG", "first");
    store->addSnippet("sig", "second");
    store->addSnippet("\u00c9T\u00c9", "accented");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"  Sig \n", "first"},
        {"sig please", std::nullopt},
        {"\u00e9t\u00e9\u2028", "accented"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(store->expandSnippet(text), expected) << "case '" << text << "'";
    }
}

TEST_F(DataStoreTest, ConcurrentAddsAllLandInMemoryAndOnDisk)
{
    auto store = open();
    std::atomic<bool> done{false};
    std::atomic<int> readerFaults{0};
    std::thread reader([&] {
        // Sizes only grow, and every entry holds exactly two words.
        for (std::size_t last = 0, size = 0; !done; last = size) {
            const auto stats = store->statistics();
            size = store->history().size();
            readerFaults += size < last || stats.totalWords != 2 * stats.totalDictations;
        }
    });
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([&, t] {
                for (int i = 0; i < 50; ++i) {
                    store->addEntry("t" + std::to_string(t) + " " + std::to_string(i), 1, std::nullopt, std::nullopt);
                }
            });
        }
    }
    done = true;
    reader.join();
    EXPECT_EQ(readerFaults, 0);
    ASSERT_EQ(store->history().size(), 200u);
    EXPECT_EQ(decodeHistory(fileContents(kHistory)).records, store->history());
}

} // namespace
} // namespace quillo
