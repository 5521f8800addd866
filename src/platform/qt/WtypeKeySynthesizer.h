#pragma once

#include <string>
#include <vector>

#include "platform/KeySynthesizer.h"

namespace quillo {

class Log;

// Key presses on Wayland through the virtual keyboard protocol of wlroots
// compositors (sway, Hyprland, river...), by running the `wtype` tool.
//
// Each run brings a keymap of its own, made of the keys it types. Typed text
// arrives intact, but applications that look shortcuts up in the keymap they
// had before (GTK text views) miss Ctrl+V: the reach is therefore typing only,
// and pastes are typed. A compositor without the protocol, or no `wtype`,
// leaves no reach at all.
//
// Wayland tells no client which keys others hold, so no modifier ever reads as
// held. Main thread; each press waits for the tool (a few milliseconds, at most
// kTimeoutMs) and needs a QCoreApplication.
class WtypeKeySynthesizer final : public KeySynthesizer
{
public:
    static constexpr int kTimeoutMs = 10000;
    // The first keys of a new virtual keyboard can be lost while the
    // application takes its keymap: wait that long before typing.
    static constexpr int kSettleMs = 100;

    // `program` is run by name from PATH (tests pass a stand-in).
    explicit WtypeKeySynthesizer(Log& log, std::string program = "wtype");

    Reach reach() override;
    void pressPaste(PasteKeys keys) override;
    void typeText(const std::string& text) override;
    void pressReturn() override;
    bool modifiersHeld() override { return false; }

private:
    void run(const std::vector<std::string>& args, const std::string& input = {});

    Log& m_log;
    std::string m_program;
    bool m_found = false;
    bool m_failed = false; // a run failed: the compositor refuses, or the tool broke
};

} // namespace quillo
