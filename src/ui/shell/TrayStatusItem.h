#pragma once

#include <memory>

#include <QObject>

#include "platform/StatusItem.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace quillo {

// The tray icon and its menu. Where the desktop has no tray (GNOME without
// an extension), the menu goes into the main window's menu bar instead, so
// dictation can still be switched off and Quillo quit.
class TrayStatusItem final : public QObject, public StatusItem
{
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject* parent = nullptr);
    ~TrayStatusItem() override;

    bool setUp(Actions actions) override;
    void setImage(const std::string& symbolName, const std::string& fallbackText) override;
    void setToggleTitle(const std::string& title) override;

    // The 18 × 18 image for a symbol: Quillo's own drawing of it, else the
    // fallback text drawn centred in bold. Never empty.
    static QIcon menuBarImage(const std::string& symbolName, const std::string& fallbackText);

    // The application icon: the installed one (a theme may restyle it), else
    // the copy compiled into the program.
    static QIcon appIcon();

    // Without a tray, gives `window` (which must have a layout) a menu bar
    // with the menu; with one, does nothing.
    void addMenuBarTo(QWidget* window) const;

    QSystemTrayIcon* trayIcon() const { return m_tray.get(); }
    QMenu* menu() const { return m_menu.get(); }
    QString currentSymbol() const { return m_currentSymbol; }

private:
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QAction* m_toggleItem = nullptr;
    QString m_currentSymbol;
};

} // namespace quillo
