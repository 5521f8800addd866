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

    auto reopened = open();
    const auto history = reopened->history();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].text(), "second"); // newest first, in memory and on disk
    EXPECT_EQ(history[1].text(), "first");
    EXPECT_EQ(history[0].time() - history[1].time(), std::chrono::seconds(1));
    EXPECT_EQ(reopened->snippets().at(0).expansion, "Best regards");
    EXPECT_EQ(reopened->dictionaryWords(), std::vector<std::string>{"Kubernetes"});

    // A byte-order mark in front (an editor on another system) is dropped.
    test::FakeFileSystem markedDisk;
    markedDisk.put(kHistory, std::string("\xEF\xBB\xBF") + kOldEntry);
    EXPECT_EQ(DataStore(markedDisk, preferences, log, clock, kDir).history().size(), 1u);
    EXPECT_TRUE(log.lines().empty());

    // A dictation retried later is filed under its own, earlier date.
    reopened->addEntryMadeAt(history[1].date() - 60, "retried", 1.5, std::nullopt, std::nullopt);
    reopened->addEntry("third", 0, std::nullopt, std::nullopt);
    std::vector<std::string> texts;
    for (const auto& entry : open()->history()) {
        texts.push_back(entry.text());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"third", "second", "first", "retried"}));
}

TEST_F(DataStoreTest, UnusableFileIsSetAsideUntouchedAndTheListStartsEmpty)
{
    struct Case
    {
        const char* name;
        std::string contents;
        bool failRead;
    };
    const Case cases[] = {
        {"malformed entry", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","text":"no date"}])", false},
        {"unreadable", kOldEntry, true},
    };
    const std::string aside = std::string(kHistory) + ".unreadable-20260302T090000Z";
    for (const Case& c : cases) {
        test::FakeFileSystem caseDisk;
        caseDisk.put(kHistory, c.contents);
        caseDisk.put(aside, "older"); // set aside earlier in the same second: must not be replaced
        if (c.failRead) {
            caseDisk.failReadsOf(kHistory);
        }
        DataStore store(caseDisk, preferences, log, clock, kDir);
        EXPECT_TRUE(store.history().empty()) << "case " << c.name;
        store.addEntry("new", 1, std::nullopt, std::nullopt);
        EXPECT_EQ(decodeHistory(caseDisk.file(kHistory)->contents).records.size(), 1u) << "case " << c.name;
        EXPECT_EQ(caseDisk.file(aside)->contents, "older") << "case " << c.name;
        ASSERT_TRUE(caseDisk.file(aside + "-2")) << "case " << c.name;
        EXPECT_EQ(caseDisk.file(aside + "-2")->contents, c.contents) << "case " << c.name;
    }
    EXPECT_EQ(log.lines().size(), std::size(cases)) << "each is logged";
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
    const std::pair<const char*, std::string> cases[] = {
        {"no file", ""},
        {"foreign spelling",
         R"( [ {"text":"spaced","extra":[1],"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","date":7.0} ] )"},
        {"empty array", "[]"},
    };
    for (const auto& [name, contents] : cases) {
        test::FakeFileSystem caseDisk;
        if (!std::string(contents).empty()) {
            caseDisk.put(kHistory, contents);
        }
        DataStore store(caseDisk, preferences, log, clock, kDir);
        for (int i = 0; i < 3; ++i) {
            store.addEntry("entry " + std::to_string(i), i, std::nullopt, std::nullopt);
            EXPECT_EQ(caseDisk.file(kHistory)->contents, encodeHistory(store.history())) << "case " << name << " " << i;
        }
        store.clearHistory();
        EXPECT_EQ(caseDisk.file(kHistory)->contents, "[]") << "case " << name;
        store.addEntry("after clearing", 1, std::nullopt, std::nullopt);
        EXPECT_EQ(caseDisk.file(kHistory)->contents, encodeHistory(store.history())) << "case " << name;
        EXPECT_EQ(store.totalDictations(), 1u) << "case " << name;
    }
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
    store->addSnippet(" pad ", "never");
    store->addSnippet("\u00c9T\u00c9", "accented");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"  Sig \n", "first"},
        {"sig please", std::nullopt},
        {" pad ", std::nullopt},
        {"\u00e9t\u00e9\u2028", "accented"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(store->expandSnippet(text), expected) << "case '" << text << "'";
    }
}

TEST_F(DataStoreTest, ConcurrentAddsAllLandInMemoryAndOnDisk)
{
    auto store = open();
    constexpr int kThreads = 4;
    constexpr int kPerThread = 50;
    std::atomic<bool> done{false};
    std::atomic<int> readerFaults{0};
    std::thread reader([&] {
        std::size_t last = 0;
        while (!done) {
            const auto stats = store->statistics();
            const auto size = store->history().size();
            // Sizes only grow, and every entry holds exactly two words.
            readerFaults += size < last || stats.totalWords != 2 * stats.totalDictations;
            last = size;
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                store->addEntry("t" + std::to_string(t) + " " + std::to_string(i), 1, std::nullopt, std::nullopt);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    done = true;
    reader.join();

    EXPECT_EQ(readerFaults, 0);
    const auto history = store->history();
    ASSERT_EQ(history.size(), std::size_t{kThreads * kPerThread});
    EXPECT_EQ(decodeHistory(fileContents(kHistory)).records, history);
}

} // namespace
} // namespace quillo
