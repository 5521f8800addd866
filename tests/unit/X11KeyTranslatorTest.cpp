#include "platform/linux/X11KeyTranslator.h"

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace quillo::test {
namespace {

// "flags/61/80000", "down/96/0/repeat", "up/98/0", or "-" for no event.
std::string describe(const std::optional<KeyEvent>& event)
{
    if (!event) {
        return "-";
    }
    static const char* const kTypes[] = {"flags", "down", "up", "fn"}; // in the order of KeyEvent::Type
    char flags[20];
    std::snprintf(flags, sizeof flags, "%llx", static_cast<unsigned long long>(event->modifierFlags));
    return std::string(kTypes[static_cast<int>(event->type)]) + "/" + std::to_string(event->keyCode) + "/" + flags +
           (event->isRepeat ? "/repeat" : "");
}

TEST(X11KeyTranslatorTest, SequencesCarryFamilyFlagsAndRepeats)
{
    // Steps "+X" (press), "+X!" (press the server marks as repeat) and "-X"
    // (release) of X keycodes, each followed by the event it must produce.
    const std::pair<const char*, const char*> sequences[] = {
        {"Right Alt is a flag change of the Option family", "+108=flags/61/80000 -108=flags/61/0"},
        {"overlapping Supers keep the Command flag until both are up",
         "+133=flags/55/100000 +134=flags/54/100000 -133=flags/55/100000 -134=flags/54/0"},
        {"flags of other families ride along",
         "+37=flags/59/40000 +62=flags/60/60000 +71=down/96/60000 -71=up/96/60000 -37=flags/59/20000 -62=flags/60/0"},
        {"a key pressed again while down, or marked by the server, is a repeat",
         "+71=down/96/0 +71=down/96/0/repeat +71!=down/96/0/repeat -71=up/96/0 +71=down/96/0 +72!=down/97/0/repeat"},
        {"a held modifier's repeats change nothing", "+105=flags/62/40000 +105=- +105!=- -105=flags/62/0"},
        {"Caps Lock is a flag change with no family flag", "+66=flags/57/0 -66=flags/57/0"},
        {"a release never seen pressed still reports the key", "-108=flags/61/0 -73=up/98/0"},
        {"keys with no code of their own are reported as such, with the flags held",
         "+108=flags/61/80000 +24=down/-1/80000 +24=down/-1/80000/repeat -24=up/-1/80000"},
    };
    for (const auto& [name, trace] : sequences) {
        X11KeyTranslator translator;
        std::istringstream steps(trace);
        for (std::string step; steps >> step;) {
            const auto equals = step.find('=');
            const int xKeyCode = std::stoi(step.substr(1, equals - 1));
            const bool repeat = step[equals - 1] == '!';
            const auto event = step[0] == '+' ? translator.press(xKeyCode, repeat) : translator.release(xKeyCode);
            EXPECT_EQ(describe(event), step.substr(equals + 1)) << name << ", step " << step;
        }
    }
}

} // namespace
} // namespace quillo::test
