#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "platform/MainWindowHost.h"

#include <QWidget>

namespace quillo {

class Preferences;

// Creates the main window on first use and brings it forward afterwards.
// Closing the window only hides it. Its frame is remembered in the
// preferences between launches.
class MainWindowController final : public QObject, public MainWindowHost
{
    Q_OBJECT

public:
    using ContentFactory = std::function<QWidget*()>;
    using PageSelector = std::function<void(NavItem)>;

    static constexpr int kWidth = 1040;
    static constexpr int kHeight = 700;
    static constexpr int kMinimumWidth = 820;
    static constexpr int kMinimumHeight = 520;

    MainWindowController(Preferences& preferences, ContentFactory makeContent, PageSelector selectPage);
    ~MainWindowController() override;

    void showMainWindow(NavItem tab) override;

    QWidget* window() const { return m_window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWindow();
    void saveFrame();

    Preferences& m_preferences;
    ContentFactory m_makeContent;
    PageSelector m_selectPage;
    QPointer<QWidget> m_window;
    QTimer m_saveTimer; // coalesces the moves and resizes of a drag into one save
};

} // namespace quillo
