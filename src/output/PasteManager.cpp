#include "output/PasteManager.h"

#include <deque>
#include <optional>
#include <utility>

#include "platform/Clipboard.h"
#include "platform/KeySynthesizer.h"
#include "platform/MainQueue.h"

namespace quillo {

struct PasteManager::State : std::enable_shared_from_this<State>
{
    struct Request
    {
        std::string text;
        bool simulateEnter = false;
    };

    // The paste under way: from writing its text until its restore time.
    struct Active
    {
        bool simulateEnter = false;
        ClipboardContents saved;
        Clipboard::WriteToken written = 0;
        std::chrono::milliseconds modifierWait{0};
    };

    State(Clipboard& c, KeySynthesizer& k, MainQueue& q) : clipboard(c), keys(k), queue(q) {}

    void begin(Request request, std::optional<ClipboardContents> inherited);
    void pressPasteWhenModifiersAreFree();
    void finish();

    // Runs `step` on the main queue after `delay`, unless the manager is gone.
    template <typename Step> void after(std::chrono::milliseconds delay, Step step)
    {
        queue.postAfter(delay, [weak = weak_from_this(), step = std::move(step)] {
            if (auto self = weak.lock()) {
                step(*self);
            }
        });
    }

    Clipboard& clipboard;
    KeySynthesizer& keys;
    MainQueue& queue;
    std::optional<Active> active;
    std::deque<Request> waiting;
};

PasteManager::PasteManager(Clipboard& clipboard, KeySynthesizer& keys, MainQueue& mainQueue)
    : m_state(std::make_shared<State>(clipboard, keys, mainQueue))
{}

PasteManager::~PasteManager() = default;

void PasteManager::paste(const std::string& text, bool simulateEnter)
{
    if (m_state->active) {
        m_state->waiting.push_back({text, simulateEnter});
        return;
    }
    m_state->begin({text, simulateEnter}, std::nullopt);
}

void PasteManager::State::begin(Request request, std::optional<ClipboardContents> inherited)
{
    Active next;
    next.simulateEnter = request.simulateEnter;
    // Read before writing: writing replaces everything on the clipboard.
    next.saved = inherited ? std::move(*inherited) : clipboard.contents();
    next.written = clipboard.setPrivateText(request.text);
    active = std::move(next);
    after(kPasteDelay, [](State& self) { self.pressPasteWhenModifiersAreFree(); });
}

void PasteManager::State::pressPasteWhenModifiersAreFree()
{
    if (active->modifierWait < kModifierWaitLimit && keys.modifiersHeld()) {
        active->modifierWait += kModifierPollInterval;
        after(kModifierPollInterval, [](State& self) { self.pressPasteWhenModifiersAreFree(); });
        return;
    }
    keys.pressPaste();
    if (active->simulateEnter) {
        after(kReturnDelay, [](State& self) { self.keys.pressReturn(); });
    }
    after(kRestoreDelay, [](State& self) { self.finish(); });
}

void PasteManager::State::finish()
{
    const bool clipboardStillOurs = clipboard.stillHolds(active->written);
    ClipboardContents saved = std::move(active->saved);
    active.reset();

    if (!waiting.empty()) {
        Request next = std::move(waiting.front());
        waiting.pop_front();
        // While our text is still there, the saved contents are still the
        // user's clipboard and pass on; otherwise the next paste saves
        // whatever replaced our text.
        begin(std::move(next), clipboardStillOurs ? std::optional(std::move(saved)) : std::nullopt);
        return;
    }
    if (clipboardStillOurs) {
        clipboard.setContents(saved);
    }
}

void PasteManager::copy(const std::string& text)
{
    // A plain copy the user keeps: neither private nor restored later. A paste
    // still waiting to restore finds its text replaced and leaves this alone.
    m_state->clipboard.setContents({{{"text/plain;charset=utf-8", text}, {"text/plain", text}}});
}

} // namespace quillo
