#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include <QWidget>

#include "base/NavItem.h"
#include "output/Paster.h"
#include "platform/ServiceKeyStore.h"
#include "transcription/KeyCheck.h"

class QStackedWidget;

namespace quillo {

class AppNavState;
class Clock;
class Credentials;
class DataStore;
class KeptDictationStore;
class LocalSpeechEngine;
class LoginItem;
class MicrophoneManager;
class Preferences;

// One page entry of the sidebar: icon and title on a rounded fill that marks
// the selected page, or the row under the pointer. For the keyboard and
// assistive technologies the rows are the tabs of a tab list: the arrow keys
// move between them, Enter or Space opens one.
class SidebarRow final : public QWidget
{
    Q_OBJECT

public:
    explicit SidebarRow(NavItem item, QWidget* parent = nullptr);

    NavItem item() const { return m_item; }
    bool isSelected() const { return m_selected; }
    bool isHovered() const { return m_hovered; }
    void setSelected(bool selected);
    // What a click does.
    void activate() { emit clicked(m_item); }
    // The fill drawn behind the row now: selected wins over hovered.
    QColor fill() const;

    QSize sizeHint() const override;

signals:
    void clicked(quillo::NavItem item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    NavItem m_item;
    bool m_selected = false;
    bool m_hovered = false;
    bool m_focusShown = false; // focus that came from the keyboard draws a ring
};

// The main window's content: the sidebar of six pages and the page that
// AppNavState selects.
class MainWindowView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMinimumWidth = 960;
    static constexpr int kMinimumHeight = 640;
    static constexpr int kSidebarWidth = 240;

    // What the screens read and edit; everything must outlive the view.
    struct Dependencies
    {
        DataStore& store;
        AppNavState& nav;
        const Clock& clock;
        Preferences& preferences;
        MicrophoneManager& microphones;
        LoginItem& loginItem;
        const Credentials& credentials;
        std::string localModelName;
        std::function<std::optional<PasteReport>()> lastPaste; // the session's last paste, for Settings
        // History's "Not transcribed yet" section, when given, and what its
        // buttons do with a kept dictation's id.
        KeptDictationStore* keptDictations = nullptr;
        std::function<void(const std::string&)> retryKept = {};
        std::function<void(const std::string&)> deleteKept = {};
        const LocalSpeechEngine* localSpeech = nullptr; // for Settings: words its model cannot hear
        // Settings' API keys card, when given.
        ServiceKeyStore* serviceKeys = nullptr;
        std::function<KeyCheckResult(DictationError::Service, const std::string&)> checkKey = {};
    };

    explicit MainWindowView(const Dependencies& dependencies, QWidget* parent = nullptr);

    SidebarRow* sidebarRow(NavItem item) const;
    QWidget* page(NavItem item) const;
    QWidget* currentPage() const;

private:
    void showSelection(NavItem item);

    AppNavState& m_nav;
    std::array<SidebarRow*, 6> m_rows{};
    std::array<QWidget*, 6> m_pages{};
    QStackedWidget* m_stack;
};

} // namespace quillo
