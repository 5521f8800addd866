#include "platform/linux/X11KeyTranslator.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/KeyCodes.h"

namespace quillo::test {
namespace {

TEST(X11KeyTranslatorTest, HardwareCodesBecomeMacCodes)
{
    const std::vector<std::pair<int, int>> codes = {
        {108, keycode::rightOption},
        {64, keycode::leftOption},
        {105, keycode::rightControl},
        {37, keycode::leftControl},
        {134, keycode::rightCommand},
        {133, keycode::leftCommand},
        {62, keycode::rightShift},
        {50, keycode::leftShift},
        {66, keycode::capsLock},
        {71, keycode::f5},
        {72, keycode::f6},
        {73, keycode::f7},
        {74, keycode::f8},
        {75, keycode::f9},
        {76, keycode::f10},
        {95, keycode::f11},
        {96, keycode::f12},
        {9, keycode::escape},
        {36, keycode::returnKey},
    };
    for (const auto& [x, mac] : codes) {
        EXPECT_EQ(X11KeyTranslator::macKeyCode(x), mac) << "X keycode " << x;
    }
    // Letters and the rest have no binding to serve; they are dropped.
    X11KeyTranslator translator;
    EXPECT_FALSE(translator.press(38, false)) << "the A key";
    EXPECT_FALSE(translator.release(38));
}

// One step of a key sequence and the event it must produce ("" for none),
// written "<type> <code> <flags> [repeat]".
struct Step
{
    bool press;
    int xKeyCode;
    bool serverRepeat;
    std::string expected;
};

std::string describe(const std::optional<KeyEvent>& event)
{
    if (!event) {
        return "";
    }
    const char* type = event->type == KeyEvent::Type::flagsChanged ? "flags"
                       : event->type == KeyEvent::Type::keyDown    ? "down"
                       : event->type == KeyEvent::Type::keyUp      ? "up"
                                                                   : "fn";
    char flags[16];
    std::snprintf(flags, sizeof flags, "%llx", static_cast<unsigned long long>(event->modifierFlags));
    return std::string(type) + " " + std::to_string(event->keyCode) + " " + flags + (event->isRepeat ? " repeat" : "");
}

TEST(X11KeyTranslatorTest, SequencesCarryFamilyFlagsAndRepeats)
{
    struct Sequence
    {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Sequence> sequences = {
        {"Right Alt is a flag change of the Option family",
         {{true, 108, false, "flags 61 80000"}, {false, 108, false, "flags 61 0"}}},
        {"overlapping Supers keep the Command flag until both are up",
         {{true, 133, false, "flags 55 100000"},
          {true, 134, false, "flags 54 100000"},
          {false, 133, false, "flags 55 100000"},
          {false, 134, false, "flags 54 0"}}},
        {"flags of other families ride along",
         {{true, 37, false, "flags 59 40000"},
          {true, 62, false, "flags 60 60000"},
          {true, 71, false, "down 96 60000"},
          {false, 71, false, "up 96 60000"},
          {false, 37, false, "flags 59 20000"},
          {false, 62, false, "flags 60 0"}}},
        {"a function key pressed again while down is a repeat",
         {{true, 71, false, "down 96 0"},
          {true, 71, false, "down 96 0 repeat"},
          {true, 71, true, "down 96 0 repeat"},
          {false, 71, false, "up 96 0"},
          {true, 71, false, "down 96 0"}}},
        {"the server's repeat marker counts on its own", {{true, 72, true, "down 97 0 repeat"}}},
        {"a held modifier's repeats change nothing",
         {{true, 105, false, "flags 62 40000"},
          {true, 105, false, ""},
          {true, 105, true, ""},
          {false, 105, false, "flags 62 0"}}},
        {"Caps Lock is a flag change with no family flag",
         {{true, 66, false, "flags 57 0"}, {false, 66, false, "flags 57 0"}}},
        {"a release never seen pressed still reports the key",
         {{false, 108, false, "flags 61 0"}, {false, 73, false, "up 98 0"}}},
    };
    for (const auto& sequence : sequences) {
        X11KeyTranslator translator;
        int index = 0;
        for (const Step& step : sequence.steps) {
            const auto event =
                step.press ? translator.press(step.xKeyCode, step.serverRepeat) : translator.release(step.xKeyCode);
            EXPECT_EQ(describe(event), step.expected) << sequence.name << ", step " << index;
            ++index;
        }
    }
}

TEST(X11KeyTranslatorTest, ResetForgetsHeldKeys)
{
    X11KeyTranslator translator;
    translator.press(133, false);
    translator.press(73, false);
    translator.reset();
    EXPECT_EQ(describe(translator.press(73, false)), "down 98 0") << "a fresh press, with no Command flag left";
}

} // namespace
} // namespace quillo::test
