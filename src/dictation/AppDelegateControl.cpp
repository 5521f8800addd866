// The controller's face to the outside: the icon, the state others can watch,
// and the commands that act like the keys.

#include "dictation/AppDelegate.h"

#include "platform/StatusItem.h"

namespace quillo {

namespace {

constexpr const char* kEmDash = "\u2014";

} // namespace

void AppDelegate::updateIcon(IconState state)
{
    const std::string fallback = m_isEnabled ? productInitial() : kEmDash;
    switch (state) {
    case IconState::idle:
        m_deps.statusItem.setImage(m_isEnabled ? "mic" : "mic.slash", fallback);
        break;
    case IconState::recording:
        m_deps.statusItem.setImage("mic.fill", fallback);
        break;
    case IconState::processing:
        m_deps.statusItem.setImage("ellipsis.circle", fallback);
        break;
    }
    // Every change of what is going on passes through here; the icon may show
    // idle while switched off, but watchers hear what really goes on.
    if (m_stateObserver) {
        m_stateObserver(settledIconState());
    }
}

void AppDelegate::setStateObserver(std::function<void(IconState)> observer)
{
    m_stateObserver = std::move(observer);
}

std::string_view AppDelegate::stateName(IconState state)
{
    switch (state) {
    case IconState::idle:
        break;
    case IconState::recording:
        return "recording";
    case IconState::processing:
        return "processing";
    }
    return "idle";
}

std::optional<std::string> AppDelegate::runCommand(HotkeyControl::Command command)
{
    // Said rather than silently ignored: the user pressed a shortcut of the
    // desktop and would otherwise not know why nothing happens.
    if (!m_isEnabled) {
        return "Dictation is switched off. Switch it on from Quillo's menu (Dictation: OFF).";
    }
    if (command == HotkeyControl::Command::pasteLast && !m_lastPastedText) {
        return "Nothing to paste yet: there was no dictation since Quillo started.";
    }
    if (!m_hotkeyManager) {
        return "Quillo is still starting. Try again in a moment.";
    }
    m_hotkeyManager->runCommand(command);
    return std::nullopt;
}

} // namespace quillo
