#pragma once

#include <string>
#include <vector>

#include "platform/KeySynthesizer.h"

namespace quillo::test {

// Notes each key press in a log the test shares with other fakes; the test
// decides whether the user holds a modifier.
class FakeKeySynthesizer final : public KeySynthesizer
{
public:
    explicit FakeKeySynthesizer(std::vector<std::string>& log) : m_log(log) {}

    Reach reach() override { return Reach::everything; }
    void pressPaste(PasteKeys keys) override
    {
        m_log.push_back(keys == PasteKeys::ctrlV        ? "press paste"
                        : keys == PasteKeys::ctrlShiftV ? "press paste ctrl+shift+v"
                                                        : "press paste shift+insert");
    }
    void typeText(const std::string& text) override { m_log.push_back("type " + text); }
    void pressReturn() override { m_log.push_back("press return"); }
    bool modifiersHeld() override { return holdingModifier; }

    bool holdingModifier = false;

private:
    std::vector<std::string>& m_log;
};

} // namespace quillo::test
