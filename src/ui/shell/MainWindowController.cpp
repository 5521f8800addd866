#include "ui/shell/MainWindowController.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <nlohmann/json.hpp>

#include "platform/Preferences.h"
#include "settings/Settings.h"

namespace quillo {

MainWindowController::MainWindowController(Preferences& preferences,
                                           ContentFactory makeContent,
                                           PageSelector selectPage)
    : m_preferences(preferences), m_makeContent(std::move(makeContent)), m_selectPage(std::move(selectPage))
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(500);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] {
        if (m_window) {
            saveFrame();
        }
    });
}

MainWindowController::~MainWindowController()
{
    delete m_window;
}

void MainWindowController::showMainWindow(NavItem tab)
{
    if (m_selectPage) {
        m_selectPage(tab);
    }
    if (!m_window) {
        createWindow();
    }
    m_window->show();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    m_window->activateWindow();
}

void MainWindowController::createWindow()
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("QuilloMain"));
    // The content reaches the top edge: the page draws its own heading, so the
    // window title stays empty.
    window->setWindowTitle(QString());
    window->setMinimumSize(kMinimumWidth, kMinimumHeight);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = m_makeContent ? m_makeContent() : nullptr;
    if (!content) {
        auto* placeholder = new QLabel(QStringLiteral("Quillo"));
        placeholder->setAlignment(Qt::AlignCenter);
        content = placeholder;
    }
    layout->addWidget(content);

    QRect frame(0, 0, kWidth, kHeight);
    bool restored = false;
    if (auto saved = m_preferences.arrayForKey(setting::mainWindowFrame.key); saved && saved->size() == 4) {
        bool numbers = true;
        for (const auto& v : *saved) {
            numbers = numbers && v.is_number_integer();
        }
        if (numbers) {
            const QRect candidate((*saved)[0].get<int>(),
                                  (*saved)[1].get<int>(),
                                  (*saved)[2].get<int>(),
                                  (*saved)[3].get<int>());
            // Only a frame that is still on some screen is worth restoring.
            for (QScreen* screen : QGuiApplication::screens()) {
                if (screen->availableGeometry().intersects(candidate) && candidate.width() >= kMinimumWidth &&
                    candidate.height() >= kMinimumHeight) {
                    frame = candidate;
                    restored = true;
                    break;
                }
            }
        }
    }
    if (!restored) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            frame.moveCenter(screen->availableGeometry().center());
        }
    }
    window->setGeometry(frame);
    window->installEventFilter(this);
    m_window = window;
}

bool MainWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        // Closing only hides: the same window comes back next time.
        m_saveTimer.stop();
        saveFrame();
        m_window->hide();
        event->ignore();
        return true;
    }
    if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
        m_window->isVisible()) {
        m_saveTimer.start();
    }
    return QObject::eventFilter(watched, event);
}

void MainWindowController::saveFrame()
{
    const QRect g = m_window->geometry();
    const nlohmann::json frame = {g.x(), g.y(), g.width(), g.height()};
    if (Settings(m_preferences).get(setting::mainWindowFrame) != frame) {
        EditableSettings(m_preferences).set(setting::mainWindowFrame, frame);
    }
}

} // namespace quillo
