#include "output/PasteManager.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

const ClipboardContents kUserClipboard = {{{"text/html", "<b>caf\xc3\xa9</b>"}, {"text/plain", "caf\xc3\xa9"}}};

struct Rig;
using Actions = std::map<int, std::function<void(Rig&)>>; // by milliseconds since the start

// A paste manager over fakes that share one call log, with fresh time.
struct Rig
{
    explicit Rig(ClipboardContents before = kUserClipboard) { clipboard.current = std::move(before); }

    // Runs the main queue for `duration` in 10 ms steps, doing each action when
    // its time comes, and returns every call the fakes saw, each stamped with
    // the time it happened: "0 read, 100 press paste".
    std::string runFor(std::chrono::milliseconds duration, Actions actions)
    {
        std::string stamped;
        std::size_t seen = 0;
        const auto stampNew = [&] {
            for (; seen < log.size(); ++seen) {
                stamped += (stamped.empty() ? "" : ", ") + std::to_string(queue.elapsed().count()) + " " + log[seen];
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

TEST(PasteManagerTest, WaitsForAStuckModifierBeforePressingPaste)
{
    Rig rig;
    rig.keys.holdingModifier = true;
    EXPECT_EQ(rig.runFor(11s, {{0, [](Rig& r) { r.manager->paste("hi", false); }}}),
              "0 read, 0 write text hi, 10100 press paste, 10800 write 1 items");
}

TEST(PasteManagerTest, LeavesAnythingCopiedAfterThePasteAlone)
{
    const ClipboardContents newer = {{{"text/plain", "copied by the user"}}};
    const std::pair<int, ClipboardContents> cases[] = {{790, newer}, {500, {}}}; // {}: emptied
    for (const auto& [copiedAt, copied] : cases) {
        Rig rig;
        const std::string calls = rig.runFor(2s,
                                             {{0, [](Rig& r) { r.manager->paste("hi", false); }},
                                              {copiedAt, [&](Rig& r) { r.clipboard.copyFromOtherProgram(copied); }}});
        EXPECT_EQ(rig.clipboard.current, copied) << "case copy at " << copiedAt;
        EXPECT_EQ(calls, "0 read, 0 write text hi, 100 press paste") << "case copy at " << copiedAt;
    }
}

TEST(PasteManagerTest, SerialisesOverlappingPastesAndRestoresTheUsersClipboardOnce)
{
    Rig rig;
    EXPECT_EQ(rig.runFor(3s,
                         {{0,
                           [](Rig& r) {
                               r.manager->paste("A", false);
                               r.manager->paste("B", false);
                               r.manager->paste("C", true);
                           }}}),
              "0 read, 0 write text A, 100 press paste, 800 write text B, 900 press paste, 1600 write text C, "
              "1700 press paste, 1800 press return, 2400 write 1 items");
    EXPECT_EQ(rig.clipboard.current, kUserClipboard);

    // The user copies between two pastes: the second restores the newer copy.
    const ClipboardContents copiedBetween = {{{"text/plain", "copied between"}}};
    Rig between;
    EXPECT_EQ(
        between.runFor(3s,
                       {{0, [](Rig& r) { r.manager->paste("A", false); }},
                        {500, [&](Rig& r) { r.clipboard.copyFromOtherProgram(copiedBetween); }},
                        {600, [](Rig& r) { r.manager->paste("B", false); }}}),
        "0 read, 0 write text A, 100 press paste, 800 read, 800 write text B, 900 press paste, 1600 write 1 items");
    EXPECT_EQ(between.clipboard.current, copiedBetween);
}

// Pastes "hello world" into `application`, whose field shows `field` before
// the paste and `later` from 150 ms on, and returns the calls. Checks the
// outcome, and that the user's clipboard comes back unless the words did not
// arrive (then the dictation stays, with its clipboard-history hint).
std::string pasteInto(const std::string& application,
                      std::optional<AccessibleTextSnapshot> field,
                      DeliveryOutcome outcome,
                      std::optional<std::string> later = std::nullopt,
                      std::optional<PasteMethod> chosen = std::nullopt)
{
    Rig rig;
    rig.workspace.front = FrontApplication{application, application};
    PasteMethodTable::setOverride(rig.preferences, application, chosen);
    rig.check.field = field;
    const auto showLater = [&](Rig& r) {
        if (later) {
            r.check.field->text = *later;
        }
    };
    const std::string calls =
        rig.runFor(2s, {{0, [](Rig& r) { r.manager->paste("hello world", false); }}, {150, showLater}});
    EXPECT_EQ(rig.manager->reports().at(0).outcome, outcome) << application;
    const bool left = outcome == DeliveryOutcome::notDelivered;
    EXPECT_EQ(rig.clipboard.current, (left ? ClipboardContents{{{"text/plain", "hello world"}}} : kUserClipboard));
    EXPECT_EQ(rig.clipboard.isPrivate, left);
    return calls;
}

TEST(PasteManagerTest, PastesTheWayTheApplicationTakesItAndRestoresOnlyWhatArrived)
{
    EXPECT_EQ(
        pasteInto("XTerm", std::nullopt, DeliveryOutcome::unverified),
        "0 read, 0 write text hello world, 0 write primary hello world, 100 press paste shift+insert, 800 write 1 "
        "items")
        << "xterm reads the primary selection, nothing to read";
    EXPECT_EQ(pasteInto("Gedit", {{"", 0, false}}, DeliveryOutcome::delivered, "hello\nworld", PasteMethod::typeText),
              "0 read, 0 write text hello world, 100 type hello world, 800 write 1 items")
        << "typed where the user chose so, line-wrapped by the field";
    EXPECT_EQ(pasteInto("Gedit", {{"hello world", 11, false}}, DeliveryOutcome::notDelivered),
              "0 read, 0 write text hello world, 100 press paste")
        << "the field refuses the paste and already held the words";
}

TEST(PasteManagerTest, StepsQueuedByADestroyedManagerDoNothing)
{
    Rig rig;
    rig.manager->paste("hi", true);
    rig.manager.reset();
    rig.queue.advance(2s);
    EXPECT_EQ(rig.log, (std::vector<std::string>{"read", "write text hi"}));
}

} // namespace
} // namespace quillo::test
