#include "output/PasteManager.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakeClipboard.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeKeySynthesizer.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeTextDeliveryCheck.h"
#include "fakes/ManualMainQueue.h"
#include "fakes/RecordingLog.h"

namespace quillo::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAreArray;

const ClipboardContents kUserClipboard = {{{"text/html", "<b>caf\xc3\xa9</b>"}, {"text/plain", "caf\xc3\xa9"}}};

struct Rig;
using Actions = std::map<int, std::function<void(Rig&)>>; // by milliseconds since the start

// A paste manager over fakes that share one call log, with fresh time.
struct Rig
{
    explicit Rig(ClipboardContents before = kUserClipboard) { clipboard.current = std::move(before); }

    // Runs the main queue for `duration` in 10 ms steps, doing each action when
    // its time comes, and returns every call the fakes saw, each stamped with
    // the time it happened ("100 press paste").
    std::vector<std::string> runFor(std::chrono::milliseconds duration, Actions actions)
    {
        std::vector<std::string> stamped;
        std::size_t seen = 0;
        const auto stampNew = [&] {
            for (; seen < log.size(); ++seen) {
                stamped.push_back(std::to_string(queue.elapsed().count()) + " " + log[seen]);
            }
        };
        while (queue.elapsed() <= duration) {
            if (auto action = actions.find(static_cast<int>(queue.elapsed().count())); action != actions.end()) {
                action->second(*this);
                stampNew();
            }
            queue.advance(10ms);
            stampNew();
        }
        return stamped;
    }

    std::vector<std::string> log;
    FakeClipboard clipboard{log};
    FakeKeySynthesizer keys{log};
    ManualMainQueue queue;
    FakeWorkspace workspace;
    FakePreferences preferences;
    FakeTextDeliveryCheck check;
    RecordingLog diagnostics;
    std::unique_ptr<PasteManager> manager = std::make_unique<PasteManager>(
        PasteManager::Dependencies{clipboard, keys, queue, workspace, preferences, check, diagnostics});
};

TEST(PasteManagerTest, KeepsTheTimelineAndPressesReturnOnlyWhenAsked)
{
    struct Case
    {
        const char* name;
        bool simulateEnter;
        int modifierReleasedAt; // -1: never held; past the run: stuck
        KeySynthesizer::Reach reach;
        std::vector<std::string> expected;
    };
    using Reach = KeySynthesizer::Reach;
    const Case cases[] = {
        {"plain paste",
         false,
         -1,
         Reach::everything,
         {"0 read", "0 write text hi", "100 press paste", "800 write 1 items"}},
        {"with Return",
         true,
         -1,
         Reach::everything,
         {"0 read", "0 write text hi", "100 press paste", "200 press return", "800 write 1 items"}},
        {"modifier held until 350 ms",
         true,
         350,
         Reach::everything,
         {"0 read", "0 write text hi", "360 press paste", "460 press return", "1060 write 1 items"}},
        {"modifier stuck",
         false,
         1'000'000,
         Reach::everything,
         {"0 read", "0 write text hi", "10100 press paste", "10800 write 1 items"}},
        {"keys that only type: the text is typed",
         true,
         -1,
         Reach::typingOnly,
         {"0 read", "0 write text hi", "100 type hi", "200 press return", "800 write 1 items"}},
        {"no key can be sent: the text stays on the clipboard", true, -1, Reach::none, {"0 read", "0 write text hi"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.keys.keyReach = c.reach;
        std::vector<PasteReport> reports;
        rig.manager->setReportHandler([&reports](const PasteReport& report) { reports.push_back(report); });
        rig.keys.holdingModifier = c.modifierReleasedAt > 0;
        const std::vector<std::string> calls =
            rig.runFor(11s,
                       {{0, [&](Rig& r) { r.manager->paste("hi", c.simulateEnter); }},
                        {c.modifierReleasedAt, [](Rig& r) { r.keys.holdingModifier = false; }}});
        EXPECT_THAT(calls, ElementsAreArray(c.expected));
        EXPECT_EQ(rig.queue.pendingCount(), 0u) << "a step is still scheduled after the restore";
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].keysUnavailable, c.reach == Reach::none);
    }
}

TEST(PasteManagerTest, OffersOnlyThePrivateTextThenRestoresEveryItemAndTypeInOrder)
{
    struct Case
    {
        const char* name;
        ClipboardContents before;
    };
    const Case cases[] = {
        {"empty clipboard", {}},
        {"several items, one of them binary",
         {{{"text/uri-list", "file:///tmp/a"}, {"text/plain", "/tmp/a"}},
          {{"image/png", std::string("\x89PNG\0\xff\x00", 7)}},
          {{"text/html", "<b>third</b>"}, {"text/plain", "third"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.before);

        rig.manager->paste("dictated", false);
        rig.queue.advance(100ms);
        EXPECT_EQ(rig.clipboard.current, (ClipboardContents{{{"text/plain", "dictated"}}})) << "at the paste key";
        EXPECT_TRUE(rig.clipboard.isPrivate) << "the dictation is not kept out of clipboard histories";

        rig.queue.advance(700ms);
        EXPECT_EQ(rig.clipboard.current, c.before) << "after the restore";
        EXPECT_FALSE(rig.clipboard.isPrivate);
    }
}

TEST(PasteManagerTest, LeavesAnythingCopiedAfterThePasteAlone)
{
    const ClipboardContents newer = {{{"text/plain", "copied by the user"}}};
    struct Case
    {
        const char* name;
        int copiedAt;
        ClipboardContents copied;
    };
    const Case cases[] = {
        {"copy before the paste key", 50, newer},
        {"copy just before the restore", 790, newer},
        {"another program empties the clipboard", 500, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.runFor(2s,
                   {{0, [](Rig& r) { r.manager->paste("hi", false); }},
                    {c.copiedAt, [&](Rig& r) { r.clipboard.copyFromOtherProgram(c.copied); }}});
        EXPECT_EQ(rig.clipboard.current, c.copied) << "the newer clipboard was overwritten";
        EXPECT_THAT(rig.log, ElementsAreArray({"read", "write text hi", "press paste"}));
    }
}

TEST(PasteManagerTest, SerialisesOverlappingPastesAndRestoresTheUsersClipboardOnce)
{
    const ClipboardContents copiedBetween = {{{"text/plain", "copied between"}}};
    struct Case
    {
        const char* name;
        Actions actions;
        std::vector<std::string> expected;
        ClipboardContents after;
    };
    const Case cases[] = {
        {"three pastes at once",
         {{0,
           [](Rig& r) {
               r.manager->paste("A", false);
               r.manager->paste("B", false);
               r.manager->paste("C", true);
           }}},
         {"0 read",
          "0 write text A",
          "100 press paste",
          "800 write text B",
          "900 press paste",
          "1600 write text C",
          "1700 press paste",
          "1800 press return",
          "2400 write 1 items"},
         kUserClipboard},
        {"user copies between the two",
         {{0, [](Rig& r) { r.manager->paste("A", false); }},
          {500, [&](Rig& r) { r.clipboard.copyFromOtherProgram(copiedBetween); }},
          {600, [](Rig& r) { r.manager->paste("B", false); }}},
         {"0 read",
          "0 write text A",
          "100 press paste",
          "800 read",
          "800 write text B",
          "900 press paste",
          "1600 write 1 items"},
         copiedBetween},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        EXPECT_THAT(rig.runFor(3s, c.actions), ElementsAreArray(c.expected));
        EXPECT_EQ(rig.clipboard.current, c.after);
    }
}

TEST(PasteManagerTest, PastesTheWayTheApplicationTakesItAndRestoresOnlyWhatArrived)
{
    const ClipboardContents dictation = {{{"text/plain", "hello world"}}};
    struct Case
    {
        const char* name;
        std::string application;
        std::optional<PasteMethod> chosen;
        std::optional<AccessibleTextSnapshot> field; // before the paste; nothing: unreadable
        std::optional<std::string> fieldAt150ms;     // what the field shows from then on
        std::vector<std::string> expected;
        DeliveryOutcome outcome;
        ClipboardContents after;
    };
    const AccessibleTextSnapshot terminal{"$ ", 2, true};
    const Case cases[] = {
        {"terminal echoes the text",
         "lxterminal",
         std::nullopt,
         terminal,
         "$ hello world",
         {"0 read", "0 write text hello world", "100 press paste ctrl+shift+v", "800 write 1 items"},
         DeliveryOutcome::delivered,
         kUserClipboard},
        {"terminal whose program does not echo",
         "Lxterminal",
         std::nullopt,
         terminal,
         std::nullopt,
         {"0 read", "0 write text hello world", "100 press paste ctrl+shift+v", "1100 write 1 items"},
         DeliveryOutcome::unverified,
         kUserClipboard},
        {"xterm reads the primary selection, nothing to read",
         "XTerm",
         std::nullopt,
         std::nullopt,
         std::nullopt,
         {"0 read",
          "0 write text hello world",
          "0 write primary hello world",
          "100 press paste shift+insert",
          "800 write 1 items"},
         DeliveryOutcome::unverified,
         kUserClipboard},
        {"typed where the user chose so, line-wrapped by the field",
         "Gedit",
         PasteMethod::typeText,
         AccessibleTextSnapshot{"", 0, false},
         "hello\nworld",
         {"0 read", "0 write text hello world", "100 type hello world", "800 write 1 items"},
         DeliveryOutcome::delivered,
         kUserClipboard},
        {"field refuses the paste and already held the words",
         "Gedit",
         std::nullopt,
         AccessibleTextSnapshot{"hello world", 11, false},
         std::nullopt,
         {"0 read", "0 write text hello world", "100 press paste"},
         DeliveryOutcome::notDelivered,
         dictation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.workspace.front = FrontApplication{c.application, c.application};
        if (c.chosen) {
            PasteMethodTable::setOverride(rig.preferences, c.application, c.chosen);
        }
        rig.check.field = c.field;
        const std::vector<std::string> calls =
            rig.runFor(2s, {{0, [](Rig& r) { r.manager->paste("hello world", false); }}, {150, [&](Rig& r) {
                                                                                              if (c.fieldAt150ms) {
                                                                                                  r.check.field->text =
                                                                                                      *c.fieldAt150ms;
                                                                                              }
                                                                                          }}});
        EXPECT_THAT(calls, ElementsAreArray(c.expected));
        ASSERT_EQ(rig.manager->reports().size(), 1u);
        EXPECT_EQ(rig.manager->reports()[0].outcome, c.outcome);
        EXPECT_EQ(rig.clipboard.current, c.after);
        EXPECT_EQ(rig.clipboard.isPrivate, c.outcome == DeliveryOutcome::notDelivered)
            << "a dictation left for the user keeps its clipboard-history hint";
    }
}

TEST(PasteManagerTest, StepsQueuedByADestroyedManagerDoNothing)
{
    Rig rig;
    rig.manager->paste("hi", true);
    rig.manager.reset();
    rig.queue.advance(2s);
    EXPECT_THAT(rig.log, ElementsAreArray({"read", "write text hi"}));
}

} // namespace
} // namespace quillo::test
