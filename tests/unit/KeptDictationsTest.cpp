#include "store/KeptDictations.h"

#include <gtest/gtest.h>
#include <tuple>

#include "base/DictationEntry.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/RecordingLog.h"

namespace quillo {
namespace {

constexpr const char* kKept = "/home/u/.local/share/Quillo/kept";
constexpr const char* kRecording = "/run/user/1000/quillo/clip_1772442000.25.m4a";

class KeptDictationsTest : public ::testing::Test
{
protected:
    KeptDictation failed()
    {
        KeptDictation record;
        record.date = toReferenceSeconds(clock.now());
        record.error = "No internet connection.";
        return record;
    }

    test::FakeFileSystem disk;
    test::RecordingLog log;
    test::FakeClock clock;
    KeptDictationStore store{disk, log, clock, kKept};
};

TEST_F(KeptDictationsTest, NeverLosesTheRecordingWhateverTheDiskDoes)
{
    // The disk's trouble; whether keep() succeeds, the recording is still where
    // it was, and how many the list shows at once.
    const std::vector<std::tuple<const char*, std::function<void()>, bool, bool, std::size_t>> cases = {
        {"another file system: copied, then the original removed", [&] { disk.failRenames(); }, true, false, 1},
        {"cannot move nor copy",
         [&] {
             disk.failRenames();
             disk.failWrites();
         },
         false,
         true,
         0},
        {"the record cannot be written", [&] { disk.failWrites(); }, false, false, 0},
    };
    for (const auto& [name, inject, kept, leftInPlace, listedNow] : cases) {
        for (const auto& record : store.list()) {
            store.remove(record.id);
        }
        for (const auto& file : disk.listFiles(kKept)) {
            disk.removeFile(std::string(kKept) + "/" + file);
        }
        disk.put(kRecording, "speech", 0600);
        inject();
        EXPECT_EQ(store.keep(kRecording, failed()).has_value(), kept) << "case " << name;
        EXPECT_EQ(disk.exists(kRecording), leftInPlace) << "case " << name;
        EXPECT_EQ(store.list().size(), listedNow) << "case " << name;

        // The next launch finds whatever was left and keeps it properly.
        store.adoptLeftovers("/run/user/1000/quillo", "Quillo stopped before this dictation was transcribed.");
        ASSERT_EQ(store.list().size(), 1u) << "case " << name;
        EXPECT_EQ(disk.file(store.list()[0].audioPath)->contents, "speech") << "case " << name;
        EXPECT_FALSE(disk.exists(kRecording)) << "case " << name;
    }
}

TEST_F(KeptDictationsTest, IdsAreUniqueUnreadableRecordsAreSkippedAndOldOnesExpire)
{
    disk.put(kRecording, "old", 0600);
    const auto old = store.keep(kRecording, failed());
    clock.advance(std::chrono::hours(24 * KeptDictationStore::kKeepDays - 1));
    disk.put(kRecording, "recent", 0600);
    const auto recent = store.keep(kRecording, failed());
    disk.put(kRecording, "broken", 0600);
    const auto broken = store.keep(kRecording, failed());
    ASSERT_TRUE(old && recent && broken);
    EXPECT_EQ(old->id, "20260302-090000");
    EXPECT_EQ(broken->id, recent->id + "-2") << "two in one second keep both";
    EXPECT_FALSE(store.find("../history")) << "an id is never a path";
    disk.put(std::string(kKept) + "/" + broken->id + ".json", "{not json", 0600);

    EXPECT_EQ(store.list().size(), 2u) << "the broken record is skipped, the others still listed";
    EXPECT_EQ(store.removeExpired(), 0u) << "29 days and 23 hours are not too old";
    clock.advance(std::chrono::hours(2));
    EXPECT_EQ(store.removeExpired(), 1u);
    EXPECT_FALSE(disk.exists(old->audioPath));
}

} // namespace
} // namespace quillo
