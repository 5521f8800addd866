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

#include "base/AppId.h"

// The icons are compiled in, so the tray looks the same under every icon
// theme. A static library's resources must be pulled in by name.
static void loadIconResources()
{
    [[maybe_unused]] static const bool loaded = [] {
        Q_INIT_RESOURCE(quillo_icons);
        return true;
    }();
}

namespace quillo {

namespace {

// The drawn icon for each symbol of the status table.
const std::map<std::string, QString>& iconFiles()
{
    static const std::map<std::string, QString> files = {
        {"mic", QStringLiteral(":/icons/quillo-idle-symbolic.svg")},
        {"mic.slash", QStringLiteral(":/icons/quillo-off-symbolic.svg")},
        {"mic.fill", QStringLiteral(":/icons/quillo-recording-symbolic.svg")},
        {"ellipsis.circle", QStringLiteral(":/icons/quillo-processing-symbolic.svg")},
    };
    return files;
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

QIcon TrayStatusItem::appIcon()
{
    loadIconResources();
    return QIcon::fromTheme(QString::fromLatin1(kAppId), QIcon(QStringLiteral(":/icons/org.quillo.Quillo.svg")));
}

QIcon TrayStatusItem::menuBarImage(const std::string& symbolName, const std::string& fallbackText)
{
    loadIconResources();
    if (auto found = iconFiles().find(symbolName); found != iconFiles().end()) {
        QIcon icon(found->second);
        // Without Qt's SVG support the icon exists but draws nothing.
        if (!icon.pixmap(kImageSize, kImageSize).isNull()) {
            return icon;
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
