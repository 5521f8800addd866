#pragma once

// Fakes of the desktop-facing interfaces: they record what the program asked
// for and answer what the test set up.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/MainWindowHost.h"
#include "platform/Notifier.h"
#include "platform/Permissions.h"
#include "platform/RecordingIndicator.h"
#include "platform/StatusItem.h"
#include "platform/Workspace.h"

namespace quillo::test {

class FakeNotifier final : public Notifier
{
public:
    void notify(const std::string& title, const std::string& body) override { sent.emplace_back(title, body); }
    bool supportsActions() override { return actionsShown; }
    void notify(const std::string& title,
                const std::string& body,
                const std::string& actionLabel,
                std::function<void()> onAction) override
    {
        sent.emplace_back(title, body);
        actions.emplace_back(actionLabel, std::move(onAction));
    }
    std::vector<std::pair<std::string, std::string>> sent;
    bool actionsShown = true;
    // The button of each notification that had one, for the test to press.
    std::vector<std::pair<std::string, std::function<void()>>> actions;
};

class FakeWorkspace final : public Workspace
{
public:
    std::optional<FrontApplication> frontmostApplication() override { return front; }
    std::optional<FrontApplication> front;
};

class FakeStatusItem final : public StatusItem
{
public:
    bool setUp(Actions a) override
    {
        actions = std::move(a);
        return available;
    }
    void setImage(const std::string& symbolName, const std::string& fallbackText) override
    {
        images.emplace_back(symbolName, fallbackText);
    }
    void setToggleTitle(const std::string&) override {}

    std::string currentSymbol() const { return images.empty() ? std::string() : images.back().first; }

    bool available = true;
    Actions actions;
    std::vector<std::pair<std::string, std::string>> images;
};

class FakePermissions final : public Permissions
{
public:
    bool isAccessibilityTrusted() override { return accessibilityTrusted; }
    void requestMicrophoneAccess(std::function<void(bool)> completion) override
    {
        microphoneCompletion = std::move(completion);
    }
    void requestNotificationAuthorization() override {}
    std::string accessibilityAdvice() override { return accessibilityTrusted ? "" : "No X11 session."; }

    bool accessibilityTrusted = true;
    std::function<void(bool)> microphoneCompletion;
};

class FakeRecordingIndicator final : public RecordingIndicator
{
public:
    explicit FakeRecordingIndicator(std::vector<std::string>& events) : m_events(events) {}
    void show() override { m_events.push_back("show"); }
    void hide() override { m_events.push_back("hide"); }

private:
    std::vector<std::string>& m_events;
};

class FakeMainWindowHost final : public MainWindowHost
{
public:
    void showMainWindow(NavItem tab) override { shown.push_back(tab); }
    std::vector<NavItem> shown;
};

} // namespace quillo::test
