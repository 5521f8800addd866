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

    void pressPaste() override { m_log.push_back("press paste"); }
    void pressReturn() override { m_log.push_back("press return"); }
    bool modifiersHeld() override { return holdingModifier; }

    bool holdingModifier = false;

private:
    std::vector<std::string>& m_log;
};

} // namespace quillo::test
