#include "ui/shell/TrayStatusItem.h"

#include <map>

#include <QAction>
#include <QFontMetricsF>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace quillo {

namespace {

// Freedesktop icon names for each symbol, best first.
const std::map<std::string, QStringList>& themeNames()
{
    static const std::map<std::string, QStringList> names = {
        {"mic", {QStringLiteral("audio-input-microphone-symbolic"), QStringLiteral("audio-input-microphone")}},
        {"mic.slash",
         {QStringLiteral("microphone-disabled-symbolic"),
          QStringLiteral("microphone-sensitivity-muted-symbolic"),
          QStringLiteral("audio-input-microphone-muted")}},
        {"mic.fill", {QStringLiteral("media-record-symbolic"), QStringLiteral("media-record")}},
        {"ellipsis.circle",
         {QStringLiteral("view-more-horizontal-symbolic"),
          QStringLiteral("view-more-symbolic"),
          QStringLiteral("content-loading-symbolic")}},
    };
    return names;
}

constexpr int kImageSize = 18;

} // namespace

TrayStatusItem::TrayStatusItem(QObject* parent) : QObject(parent) {}

TrayStatusItem::~TrayStatusItem() = default;

bool TrayStatusItem::setUp(Actions actions)
{
    m_actions = std::move(actions);
    // The menu exists even without a tray: the main window then carries it.
    m_menu = std::make_unique<QMenu>(QStringLiteral("Quillo"));
    QAction* heading = m_menu->addAction(QStringLiteral("Quillo"));
    heading->setEnabled(false);
    m_menu->addSeparator();
    m_toggleItem = m_menu->addAction(QStringLiteral("Dictation: ON"));
    connect(m_toggleItem, &QAction::triggered, this, [this] {
        if (m_actions.toggleDictation) {
            m_actions.toggleDictation();
        }
    });
    QAction* open = m_menu->addAction(QStringLiteral("Open Quillo"));
    connect(open, &QAction::triggered, this, [this] {
        if (m_actions.openMainWindow) {
            m_actions.openMainWindow();
        }
    });
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(QStringLiteral("Quit Quillo"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quit, &QAction::triggered, this, [this] {
        if (m_actions.quit) {
            m_actions.quit();
        }
    });

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("Quillo"));
    m_tray->setContextMenu(m_menu.get());
    // Clicking the icon opens the same menu; there is no separate click action.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && m_menu) {
            m_menu->popup(QCursor::pos());
        }
    });
    m_tray->setIcon(menuBarImage("mic", "Q"));
    m_tray->show();
    return true;
}

QIcon TrayStatusItem::menuBarImage(const std::string& symbolName, const std::string& fallbackText)
{
    if (auto found = themeNames().find(symbolName); found != themeNames().end()) {
        for (const QString& name : found->second) {
            if (QIcon::hasThemeIcon(name)) {
                return QIcon::fromTheme(name);
            }
        }
    }
    // Drawn at 4× so it stays sharp when the tray scales it.
    const int scale = 4;
    QPixmap pixmap(kImageSize * scale, kImageSize * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(13 * scale);
    // A light letter in a dark outline reads on dark and light panels alike.
    const QString text = QString::fromStdString(fallbackText);
    const QRectF bounds = QFontMetricsF(font).tightBoundingRect(text);
    QPainterPath path;
    path.addText(pixmap.rect().center() - bounds.center(), font, text);
    painter.strokePath(path, QPen(QColor(30, 30, 30), 1.5 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, QColor(245, 245, 245));
    painter.end();
    QIcon icon(pixmap);
    icon.setIsMask(true); // a template image: the panel may tint it
    return icon;
}

void TrayStatusItem::addMenuBarTo(QWidget* window) const
{
    if (!m_menu || m_tray || !window->layout()) {
        return;
    }
    auto* bar = new QMenuBar(window);
    bar->addMenu(m_menu.get());
    window->layout()->setMenuBar(bar);
}

void TrayStatusItem::setImage(const std::string& symbolName, const std::string& fallbackText)
{
    m_currentSymbol = QString::fromStdString(symbolName);
    if (m_tray) {
        m_tray->setIcon(menuBarImage(symbolName, fallbackText));
    }
}

void TrayStatusItem::setToggleTitle(const std::string& title)
{
    if (m_toggleItem) {
        m_toggleItem->setText(QString::fromStdString(title));
    }
}

} // namespace quillo
