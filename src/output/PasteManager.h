#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/Paster.h"

namespace quillo {

class Clipboard;
class KeySynthesizer;
class Log;
class MainQueue;
class Preferences;
class TextDeliveryCheck;
class Workspace;

// Pastes text at the cursor of the front application through the clipboard:
// the clipboard's contents are saved, the text is put there, the paste
// shortcut is pressed on the user's behalf (and Return when asked), and the
// saved contents come back once the application has had time to read the
// text. Timeline of one paste started at T0: text on the clipboard at T0,
// paste shortcut at T0 + 0.1 s, Return at T0 + 0.2 s, restore at T0 + 0.8 s.
//
// The shortcut suits the application in front: the user's choice for it, else
// Ctrl+Shift+V in terminals (Ctrl+V types a control character there) and
// Shift+Insert, with the text in the primary selection too, in the X11
// terminals that paste nothing else. Applications that refuse pastes can have
// the text typed instead.
//
// Each paste is checked: where the focused text field can be read, its content
// is read before the paste and again until the text shows up, for up to a
// second. A paste whose text never shows up is "not delivered": the clipboard
// keeps the dictation for the user to paste by hand. Terminals only show what
// their program echoes, so there a missing text counts as unverified, never as
// not delivered.
//
// Two refinements keep the user's data safe:
// - The restore happens only while the clipboard still holds the pasted text.
//   Whatever the user or another program copied in the meantime is newer than
//   the saved contents and is left alone.
// - Pastes never overlap. One requested while another is under way waits for
//   the earlier one to end and then takes over its saved contents, so the
//   user's own clipboard (not an earlier dictation) comes back at the end and
//   each paste shortcut reads its own text.
//
// Where the keys that can be sent reach typed text only, the text is typed;
// where no key can be sent at all, the text stays on the clipboard for the
// user and the report says so.
//
// The shortcut waits while the user still holds a modifier (the hotkey's, for
// instance), which would otherwise turn Ctrl+V into Ctrl+Alt+V; the Return and
// the restore move back by the same wait.
//
// Threading: main thread, like every step it schedules on the main queue.
// Steps still queued when the manager is destroyed do nothing.
class PasteManager final : public Paster
{
public:
    static constexpr std::chrono::milliseconds kPasteDelay{100};
    // Measured from the paste shortcut.
    static constexpr std::chrono::milliseconds kReturnDelay{100};
    static constexpr std::chrono::milliseconds kRestoreDelay{700};
    // How often the focused field is read again after the shortcut, and for
    // how long before a missing text counts as not delivered. Each read makes
    // the application answer while it handles the paste, and this program
    // cannot serve the clipboard while it waits for that answer: reading
    // seldom keeps both out of the way of the paste.
    static constexpr std::chrono::milliseconds kCheckInterval{50};
    static constexpr std::chrono::milliseconds kCheckLimit{1000};
    // How often held modifiers are checked, and how long they may hold the
    // paste back: a key the system wrongly believes held must not stop it.
    static constexpr std::chrono::milliseconds kModifierPollInterval{20};
    static constexpr std::chrono::milliseconds kModifierWaitLimit{10000};

    struct Dependencies
    {
        Clipboard& clipboard;
        KeySynthesizer& keys;
        MainQueue& mainQueue;
        Workspace& workspace;
        Preferences& preferences;
        TextDeliveryCheck& deliveryCheck;
        Log& log;
    };

    explicit PasteManager(Dependencies dependencies);
    ~PasteManager() override;

    PasteManager(const PasteManager&) = delete;
    PasteManager& operator=(const PasteManager&) = delete;

    // Returns once the text is on the clipboard (or queued behind a paste
    // under way); the key presses and the restore follow on the main queue.
    void paste(const std::string& text, bool simulateEnter) override;
    void copy(const std::string& text) override;
    void setReportHandler(ReportHandler handler) override;

    // Every paste of this session whose outcome is known, oldest first.
    const std::vector<PasteReport>& reports() const;

private:
    struct State;
    std::shared_ptr<State> m_state; // queued steps hold it weakly
};

} // namespace quillo
