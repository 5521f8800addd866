#include "output/PasteManager.h"

#include <deque>
#include <optional>
#include <utility>

#include "base/IfAlive.h"
#include "platform/Clipboard.h"
#include "platform/KeySynthesizer.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Preferences.h"
#include "platform/TextDeliveryCheck.h"
#include "platform/Workspace.h"

namespace quillo {

namespace {

// Runs of whitespace become one space: fields turn line breaks into spaces,
// editors wrap, and a trailing Return adds one.
std::string collapsedWhitespace(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    bool inSpace = false;
    for (const char c : text) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
        if (space) {
            inSpace = true;
            continue;
        }
        if (inSpace && !out.empty()) {
            out.push_back(' ');
        }
        inSpace = false;
        out.push_back(c);
    }
    return out;
}

std::size_t occurrences(const std::string& haystack, const std::string& needle)
{
    std::size_t count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

// The text arrived when the field holds it once more than before the paste:
// that holds wherever the cursor was, and an earlier copy of the same words
// does not count.
bool textArrived(const AccessibleTextSnapshot& before, const AccessibleTextSnapshot& now, const std::string& text)
{
    // Only the first line: editors that keep each paragraph in an object of
    // its own put the rest into new ones, while the field read is the one the
    // cursor was in.
    std::string wanted = collapsedWhitespace(text.substr(0, text.find('\n')));
    if (wanted.empty()) {
        wanted = collapsedWhitespace(text);
    }
    if (wanted.empty()) {
        return false;
    }
    return occurrences(collapsedWhitespace(now.text), wanted) > occurrences(collapsedWhitespace(before.text), wanted);
}

PasteKeys keysFor(PasteMethod method)
{
    switch (method) {
    case PasteMethod::ctrlShiftV:
        return PasteKeys::ctrlShiftV;
    case PasteMethod::shiftInsert:
        return PasteKeys::shiftInsert;
    case PasteMethod::ctrlV:
    case PasteMethod::typeText:
        break;
    }
    return PasteKeys::ctrlV;
}

} // namespace

struct PasteManager::State : std::enable_shared_from_this<State>
{
    struct Request
    {
        std::string text;
        bool simulateEnter = false;
    };

    // The paste under way: from writing its text until its outcome is known
    // and its restore time has come.
    struct Active
    {
        Request request;
        FrontApplication application;
        PasteMethod method = PasteMethod::ctrlV;
        ClipboardContents saved;
        Clipboard::WriteToken written = 0;
        std::chrono::milliseconds modifierWait{0};
        std::optional<AccessibleTextSnapshot> before; // nothing: the field cannot be read
        std::chrono::milliseconds checked{0};
        std::optional<DeliveryOutcome> outcome;
        bool restoreDue = false;
        bool keysUnavailable = false;
    };

    explicit State(Dependencies d) : deps(d) {}

    void begin(Request request, std::optional<ClipboardContents> inherited);
    void pressPasteWhenModifiersAreFree();
    void checkDelivery();
    // Ends the paste once both its outcome and its restore time are there.
    void finishWhenSettled();
    void finish();

    // Runs `step` on the main queue after `delay`, unless the manager is gone.
    template <typename Step> void after(std::chrono::milliseconds delay, Step step)
    {
        deps.mainQueue.postAfter(delay, ifAlive(weak_from_this(), std::move(step)));
    }

    Dependencies deps;
    std::optional<Active> active;
    std::deque<Request> waiting;
    ReportHandler onReport;
    std::vector<PasteReport> reports;
};

PasteManager::PasteManager(Dependencies dependencies) : m_state(std::make_shared<State>(dependencies)) {}

PasteManager::~PasteManager() = default;

void PasteManager::paste(const std::string& text, bool simulateEnter)
{
    if (m_state->active) {
        m_state->waiting.push_back({text, simulateEnter});
        return;
    }
    m_state->begin({text, simulateEnter}, std::nullopt);
}

void PasteManager::setReportHandler(ReportHandler handler)
{
    m_state->onReport = std::move(handler);
}

const std::vector<PasteReport>& PasteManager::reports() const
{
    return m_state->reports;
}

void PasteManager::State::begin(Request request, std::optional<ClipboardContents> inherited)
{
    Active next;
    next.application = deps.workspace.frontmostApplication().value_or(FrontApplication{});
    next.method = PasteMethodTable::methodFor(deps.preferences, next.application.bundleID);
    // Where shortcuts cannot be trusted to arrive, typing still does.
    if (deps.keys.reach() == KeySynthesizer::Reach::typingOnly) {
        next.method = PasteMethod::typeText;
    }
    // Read before writing: writing replaces everything on the clipboard.
    next.saved = inherited ? std::move(*inherited) : deps.clipboard.contents();
    // Typed text goes on the clipboard too, so a failed attempt leaves it there.
    next.written = deps.clipboard.setPrivateText(request.text);
    if (next.method == PasteMethod::shiftInsert) {
        deps.clipboard.setPrimaryText(request.text);
    }
    next.request = std::move(request);
    active = std::move(next);
    after(kPasteDelay, [](State& self) { self.pressPasteWhenModifiersAreFree(); });
    // Read while the shortcut waits, so the check adds nothing to the paste.
    active->before = deps.deliveryCheck.readFocusedText();
}

void PasteManager::State::pressPasteWhenModifiersAreFree()
{
    if (active->modifierWait < kModifierWaitLimit && deps.keys.modifiersHeld()) {
        active->modifierWait += kModifierPollInterval;
        after(kModifierPollInterval, [](State& self) { self.pressPasteWhenModifiersAreFree(); });
        return;
    }
    if (deps.keys.reach() != KeySynthesizer::Reach::none) {
        if (active->method == PasteMethod::typeText) {
            deps.keys.typeText(active->request.text);
        } else {
            deps.keys.pressPaste(keysFor(active->method));
        }
    }
    if (deps.keys.reach() == KeySynthesizer::Reach::none) {
        // Nothing can press keys here: the text waits on the clipboard for the
        // user, and nothing is restored over it.
        active->keysUnavailable = true;
        active->outcome = DeliveryOutcome::notDelivered;
        active->restoreDue = true;
        finishWhenSettled();
        return;
    }
    if (active->request.simulateEnter) {
        after(kReturnDelay, [](State& self) { self.deps.keys.pressReturn(); });
    }
    after(kRestoreDelay, [](State& self) {
        self.active->restoreDue = true;
        self.finishWhenSettled();
    });
    if (active->before) {
        after(kCheckInterval, [](State& self) { self.checkDelivery(); });
    } else {
        active->outcome = DeliveryOutcome::unverified;
    }
}

void PasteManager::State::checkDelivery()
{
    active->checked += kCheckInterval;
    const std::optional<AccessibleTextSnapshot> now = deps.deliveryCheck.readAgain();
    if (now && textArrived(*active->before, *now, active->request.text)) {
        active->outcome = DeliveryOutcome::delivered;
    } else if (active->checked >= kCheckLimit) {
        // A field that vanished (a dialog the Return closed) or a terminal
        // proves nothing either way.
        const bool readable = now && !now->isTerminal && !active->before->isTerminal;
        active->outcome = readable ? DeliveryOutcome::notDelivered : DeliveryOutcome::unverified;
    } else {
        after(kCheckInterval, [](State& self) { self.checkDelivery(); });
        return;
    }
    finishWhenSettled();
}

void PasteManager::State::finishWhenSettled()
{
    if (active && active->outcome && active->restoreDue) {
        finish();
    }
}

void PasteManager::State::finish()
{
    const PasteReport report{active->application.bundleID,
                             active->application.name,
                             active->method,
                             *active->outcome,
                             active->keysUnavailable};
    const bool clipboardStillOurs = deps.clipboard.stillHolds(active->written);
    ClipboardContents saved = std::move(active->saved);
    active.reset();

    reports.push_back(report);
    deps.log.write("[Quillo] Paste into " + report.applicationName.value_or("an unnamed application") + " (" +
                   std::string(displayName(report.method)) + "): " + std::string(displayName(report.outcome)));

    // A paste that did not arrive leaves the dictation on the clipboard for
    // the user to paste by hand.
    const bool restore = clipboardStillOurs && report.outcome != DeliveryOutcome::notDelivered;
    if (!waiting.empty()) {
        Request next = std::move(waiting.front());
        waiting.pop_front();
        // While our text is still there, the saved contents are still the
        // user's clipboard and pass on; otherwise the next paste saves
        // whatever replaced our text.
        begin(std::move(next), restore ? std::optional(std::move(saved)) : std::nullopt);
    } else if (restore) {
        deps.clipboard.setContents(saved);
    }
    if (onReport) {
        onReport(report);
    }
}

void PasteManager::copy(const std::string& text)
{
    // A plain copy the user keeps: neither private nor restored later. A paste
    // still waiting to restore finds its text replaced and leaves this alone.
    m_state->deps.clipboard.setContents({{{"text/plain;charset=utf-8", text}, {"text/plain", text}}});
}

} // namespace quillo
