#include "ui/main/MainWindowView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "transcription/LocalSpeechEngine.h"
#include "ui/main/AppNavState.h"
#include "ui/main/DictionaryView.h"
#include "ui/main/HistoryView.h"
#include "ui/main/HomeView.h"
#include "ui/main/InsightsView.h"
#include "ui/main/KeptDictationsSection.h"
#include "ui/main/SnippetsView.h"
#include "ui/settings/SettingsView.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/QuilloTheme.h"

// The sidebar's icons are compiled in; a static library's resources must be
// pulled in by name.
static void loadNavIcons()
{
    [[maybe_unused]] static const bool loaded = [] {
        Q_INIT_RESOURCE(quillo_nav_icons);
        return true;
    }();
}

namespace quillo {

namespace {

std::size_t indexOf(NavItem item)
{
    return static_cast<std::size_t>(item);
}

// A microphone in the accent colour, `size` pixels square: the icon theme's
// when it has one, else drawn here so the header never shows a blank.
QPixmap microphone(int size, qreal ratio)
{
    if (QPixmap icon = theme::tintedIcon({"audio-input-microphone-symbolic"}, theme::accent(), size, ratio);
        !icon.isNull()) {
        return icon;
    }
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme::accent());
    painter.drawRoundedRect(QRectF(0.34 * s, 0.04 * s, 0.32 * s, 0.56 * s), 0.16 * s, 0.16 * s); // the head
    QPen pen(theme::accent(), 0.09 * s, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(0.2 * s, 0.2 * s, 0.6 * s, 0.52 * s), 180 * 16, 180 * 16); // the holder
    painter.drawLine(QPointF(0.5 * s, 0.72 * s), QPointF(0.5 * s, 0.88 * s));         // the stem
    painter.drawLine(QPointF(0.32 * s, 0.92 * s), QPointF(0.68 * s, 0.92 * s));       // the foot
    return pixmap;
}

// The application's logo, 30 × 30 with rounded corners, or the red
// microphone when the logo resource is not built in.
QPixmap sidebarLogo(qreal ratio)
{
    const QPixmap logo(QStringLiteral(":/quillo-sidebar.png"));
    if (logo.isNull()) {
        return microphone(21, ratio);
    }
    QPixmap rounded(QSize(30, 30) * ratio);
    rounded.setDevicePixelRatio(ratio);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, 30, 30), 7, 7);
    painter.setClipPath(clip);
    painter.drawPixmap(QRect(0, 0, 30, 30), logo.scaled(rounded.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return rounded;
}

// Paints the sidebar's background and the divider below the header.
class SidebarPanel final : public QWidget
{
public:
    QWidget* divider = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), theme::sidebarBg(palette()));
        painter.setPen(theme::cardBorder(palette()));
        painter.drawLine(width() - 1, 0, width() - 1, height());
        if (divider) {
            const int y = divider->geometry().center().y();
            painter.drawLine(14, y, width() - 15, y);
        }
    }
};

OfflineWordsNote::UnknownWords unknownOfflineWords(const LocalSpeechEngine* engine)
{
    if (!engine) {
        return {};
    }
    return [engine](const std::vector<std::string>& words) { return engine->unknownWords(words); };
}

// A sidebar row as assistive technologies see it: a named page tab that
// says whether it is the page shown and can be pressed.
class SidebarRowAccessible final : public QAccessibleWidget
{
public:
    explicit SidebarRowAccessible(SidebarRow* row) : QAccessibleWidget(row, QAccessible::PageTab) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name) {
            return navTitle(row()->item());
        }
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focusable = true;
        state.selectable = true;
        state.selected = row()->isSelected();
        state.checkable = true;
        state.checked = row()->isSelected();
        return state;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override
    {
        if (action == pressAction()) {
            row()->activate();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    SidebarRow* row() const { return static_cast<SidebarRow*>(widget()); }
};

QAccessibleInterface* sidebarAccessible(const QString&, QObject* object)
{
    if (auto* row = qobject_cast<SidebarRow*>(object)) {
        return new SidebarRowAccessible(row);
    }
    if (object->isWidgetType() && object->objectName() == QStringLiteral("sidebar")) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::PageTabList, QStringLiteral("Pages"));
    }
    return nullptr;
}

} // namespace

SidebarRow::SidebarRow(NavItem item, QWidget* parent) : QWidget(parent), m_item(item)
{
    setObjectName(QStringLiteral("sidebar-") + navTitle(item));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(navTitle(item));
}

void SidebarRow::setSelected(bool selected)
{
    if (selected != m_selected) {
        m_selected = selected;
        update();
        QAccessible::State changed;
        changed.selected = true;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

QColor SidebarRow::fill() const
{
    if (m_selected) {
        return theme::rowSelected(palette());
    }
    if (m_hovered) {
        return theme::rowHover(palette());
    }
    return Qt::transparent;
}

QSize SidebarRow::sizeHint() const
{
    const QFontMetrics metrics(theme::font(theme::sidebarSize, QFont::DemiBold));
    return {200, 11 + std::max(metrics.height(), 22) + 11};
}

void SidebarRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill());
    painter.drawRoundedRect(QRectF(rect()), 7, 7);

    const int iconSize = theme::sidebarSize - 2;
    const QColor iconColour = m_selected ? theme::accent() : theme::textSecondary(palette());
    const QPixmap icon = theme::tintedIcon(navIconNames(m_item), iconColour, iconSize, devicePixelRatioF());
    const int iconLeft = 14 + (26 - iconSize) / 2;
    painter.drawPixmap(QRect(iconLeft, (height() - iconSize) / 2, iconSize, iconSize), icon);

    if (hasFocus() && m_focusShown) {
        painter.setPen(QPen(theme::accent(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 7, 7);
    }

    painter.setFont(theme::font(theme::sidebarSize, m_selected ? QFont::DemiBold : QFont::Normal));
    painter.setPen(m_selected ? theme::textPrimary(palette()) : theme::textSecondary(palette()));
    painter.drawText(QRect(14 + 26 + 12, 0, width() - 14 - 26 - 12 - 14, height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     navTitle(m_item));
}

void SidebarRow::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_hovered = true;
    update();
}

void SidebarRow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hovered = false;
    update();
}

void SidebarRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked(m_item);
    }
    QWidget::mouseReleaseEvent(event);
}

void SidebarRow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        activate();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Along the column of rows, wrapping at either end.
        if (QWidget* column = parentWidget()) {
            const QList<SidebarRow*> rows = column->findChildren<SidebarRow*>(Qt::FindDirectChildrenOnly);
            const qsizetype at = rows.indexOf(this);
            if (at >= 0 && !rows.isEmpty()) {
                const qsizetype step = event->key() == Qt::Key_Down ? 1 : rows.size() - 1;
                SidebarRow* next = rows[(at + step) % rows.size()];
                next->setFocus(Qt::TabFocusReason);
                next->activate();
            }
        }
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SidebarRow::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // The window giving its first row focus as it opens shows no ring.
    m_focusShown = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason ||
                   event->reason() == Qt::ShortcutFocusReason;
    update();
}

void SidebarRow::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

MainWindowView::MainWindowView(const Dependencies& dependencies, QWidget* parent)
    : QWidget(parent), m_nav(dependencies.nav)
{
    loadNavIcons();
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(sidebarAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    DataStore& store = dependencies.store;
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* sidebar = new SidebarPanel;
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(220);
    sidebar->setMaximumWidth(280);
    sidebar->setFixedWidth(kSidebarWidth);
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(22, 30, 22, 24);
    header->setSpacing(12);
    auto* logo = new QLabel;
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(sidebarLogo(devicePixelRatioF()));
    header->addWidget(logo);
    header->addWidget(
        new ThemedLabel(QStringLiteral("Quillo"), ThemedLabel::Role::primary, theme::font(21, QFont::DemiBold)));
    header->addStretch(1);
    column->addLayout(header);

    auto* divider = new QWidget;
    divider->setFixedHeight(1);
    sidebar->divider = divider;
    column->addWidget(divider);

    auto* rows = new QVBoxLayout;
    rows->setContentsMargins(12, 12, 12, 0);
    rows->setSpacing(3);
    for (NavItem item : kAllNavItems) {
        auto* row = new SidebarRow(item);
        connect(row, &SidebarRow::clicked, &m_nav, &AppNavState::setSelection);
        m_rows[indexOf(item)] = row;
        rows->addWidget(row);
    }
    column->addLayout(rows);
    column->addStretch(1);
    layout->addWidget(sidebar);

    m_stack = new QStackedWidget;
    m_stack->setObjectName(QStringLiteral("pages"));
    m_pages[indexOf(NavItem::home)] = new HomeView(store, dependencies.clock);
    m_pages[indexOf(NavItem::insights)] = new InsightsView(store);
    auto* history = new HistoryView(store);
    if (dependencies.keptDictations) {
        history->setTopSection(
            new KeptDictationsSection(*dependencies.keptDictations, dependencies.retryKept, dependencies.deleteKept));
    }
    m_pages[indexOf(NavItem::history)] = history;
    m_pages[indexOf(NavItem::dictionary)] = new DictionaryView(store);
    m_pages[indexOf(NavItem::snippets)] = new SnippetsView(store);
    m_pages[indexOf(NavItem::settings)] = new SettingsView({dependencies.preferences,
                                                            dependencies.microphones,
                                                            store,
                                                            dependencies.loginItem,
                                                            dependencies.credentials,
                                                            dependencies.localModelName,
                                                            dependencies.lastPaste,
                                                            dependencies.serviceKeys,
                                                            dependencies.checkKey,
                                                            unknownOfflineWords(dependencies.localSpeech)});
    for (QWidget* page : m_pages) {
        m_stack->addWidget(page);
    }
    layout->addWidget(m_stack, 1);

    connect(&m_nav, &AppNavState::selectionChanged, this, &MainWindowView::showSelection);
    showSelection(m_nav.selection());
}

void MainWindowView::showSelection(NavItem item)
{
    for (SidebarRow* row : m_rows) {
        row->setSelected(row->item() == item);
    }
    m_stack->setCurrentWidget(m_pages[indexOf(item)]);
}

SidebarRow* MainWindowView::sidebarRow(NavItem item) const
{
    return m_rows[indexOf(item)];
}

QWidget* MainWindowView::page(NavItem item) const
{
    return m_pages[indexOf(item)];
}

QWidget* MainWindowView::currentPage() const
{
    return m_stack->currentWidget();
}

} // namespace quillo
