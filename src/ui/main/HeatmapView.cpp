#include "ui/main/HeatmapView.h"

#include <QDate>
#include <QEvent>
#include <QLocale>
#include <QPainter>
#include <QToolButton>

#include "store/DataStore.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {
constexpr int kStep = HeatmapView::kCellSize + HeatmapView::kGap;
constexpr int kLegendGap = 10;
constexpr const char* kDayLabels[HeatmapModel::kDaysPerWeek] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

QToolButton* makeChevron(QWidget* parent, const QString& name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFixedSize(HeatmapView::kButtonSize, HeatmapView::kButtonSize);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    return button;
}
} // namespace

HeatmapView::HeatmapView(DataStore& store, QWidget* parent) : QWidget(parent), m_store(store)
{
    m_older = makeChevron(this, QStringLiteral("older"));
    m_newer = makeChevron(this, QStringLiteral("newer"));
    m_older->setToolTip(QStringLiteral("Older"));
    m_newer->setToolTip(QStringLiteral("Newer"));
    m_older->setAccessibleName(QStringLiteral("Older weeks"));
    m_newer->setAccessibleName(QStringLiteral("Newer weeks"));
    m_older->move(0, 0);
    m_newer->move(newerButtonLeft(), 0);
    connect(m_older, &QToolButton::clicked, this, [this] { showPage(m_model.page + 1); });
    connect(m_newer, &QToolButton::clicked, this, [this] { showPage(std::max(0, m_model.page - 1)); });
    updateButtonIcons();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Empty until the screen hands over its first page.
    m_older->setEnabled(false);
    m_newer->setEnabled(false);
}

int HeatmapView::gridWidth() const
{
    return HeatmapModel::kNumWeeks * kStep - kGap;
}

int HeatmapView::newerButtonLeft() const
{
    // Past the month strip, with room for a month name that starts in the last column.
    return gridLeft() + gridWidth() + 24;
}

int HeatmapView::gridTop() const
{
    return kButtonSize + 8;
}

QSize HeatmapView::sizeHint() const
{
    const int gridHeight = HeatmapModel::kDaysPerWeek * kStep - kGap;
    return {newerButtonLeft() + kButtonSize, gridTop() + gridHeight + kLegendGap + kCellSize + 2};
}

void HeatmapView::refresh()
{
    showPage(m_model.page);
}

void HeatmapView::showPage(int page)
{
    setModel(m_store.heatmap(page));
}

void HeatmapView::setModel(HeatmapModel model)
{
    m_model = std::move(model);
    m_older->setEnabled(m_model.olderPagesAvailable);
    m_newer->setEnabled(m_model.page > 0);
    update();
}

void HeatmapView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        updateButtonIcons();
    }
}

void HeatmapView::updateButtonIcons()
{
    const int size = 16;
    auto icon = [&](const std::vector<const char*>& names) {
        QIcon result;
        result.addPixmap(theme::tintedIcon(names, theme::textSecondary(palette()), size), QIcon::Normal);
        QColor faded = theme::textTertiary(palette());
        faded.setAlphaF(faded.alphaF() * 0.5F);
        result.addPixmap(theme::tintedIcon(names, faded, size), QIcon::Disabled);
        return result;
    };
    m_older->setIcon(icon({"go-previous-symbolic", "go-previous"}));
    m_newer->setIcon(icon({"go-next-symbolic", "go-next"}));
}

QColor HeatmapView::levelColour(int level, const QPalette& palette)
{
    QColor colour = theme::accent();
    switch (level) {
    case 0:
        return theme::emptyCell(palette);
    // A dark card needs stronger steps to keep level 1 apart from level 0.
    case 1:
        colour.setAlphaF(theme::isDark(palette) ? 0.4F : 0.22F);
        break;
    case 2:
        colour.setAlphaF(theme::isDark(palette) ? 0.6F : 0.45F);
        break;
    case 3:
        colour.setAlphaF(theme::isDark(palette) ? 0.8F : 0.7F);
        break;
    default:
        break;
    }
    return colour;
}

void HeatmapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();

    // Month names above their first column.
    QFont monthFont = theme::font(12, QFont::Medium);
    painter.setFont(monthFont);
    painter.setPen(theme::textTertiary(pal));
    const QLocale locale;
    for (const HeatmapMonthLabel& label : m_model.monthLabels) {
        const QDate date(static_cast<int>(label.month.year()),
                         static_cast<int>(static_cast<unsigned>(label.month.month())),
                         1);
        const QRect strip(gridLeft() + label.column * kStep, (kButtonSize - 16) / 2, 60, 16);
        painter.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter, locale.toString(date, QStringLiteral("MMM")));
    }

    // Day names, right-aligned beside their rows.
    painter.setFont(theme::font(11));
    for (int row = 0; row < HeatmapModel::kDaysPerWeek; ++row) {
        const QRect frame(0, gridTop() + row * kStep, kLabelColumn, kCellSize);
        painter.drawText(frame, Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(kDayLabels[row]));
    }

    // The cells.
    const int columns = static_cast<int>(m_model.weeks.size());
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < HeatmapModel::kDaysPerWeek; ++row) {
            const HeatmapCell& cell = m_model.weeks[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
            if (!cell.day) {
                continue; // after today
            }
            const QRectF box(gridLeft() + column * kStep, gridTop() + row * kStep, kCellSize, kCellSize);
            if (cell.inStreak) {
                painter.setPen(QPen(theme::accent(), 1.5));
                painter.setBrush(Qt::NoBrush);
                painter.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 4, 4);
                painter.setPen(Qt::NoPen);
                painter.setBrush(levelColour(cell.level, pal));
                painter.drawRoundedRect(box.adjusted(3.5, 3.5, -3.5, -3.5), 2, 2);
            } else {
                painter.setPen(Qt::NoPen);
                painter.setBrush(levelColour(cell.level, pal));
                painter.drawRoundedRect(box, 4, 4);
            }
        }
    }

    // Legend: More, levels 4 to 1, Less … Current streak.
    const int legendTop = gridTop() + HeatmapModel::kDaysPerWeek * kStep - kGap + kLegendGap;
    painter.setFont(theme::font(12));
    const QFontMetrics metrics(painter.font());
    int x = gridLeft();
    auto text = [&](const QString& s) {
        painter.setPen(theme::textSecondary(pal));
        painter.drawText(QRect(x, legendTop, metrics.horizontalAdvance(s) + 2, kCellSize), Qt::AlignVCenter, s);
        x += metrics.horizontalAdvance(s) + 7;
    };
    text(QStringLiteral("More"));
    for (int level = 4; level >= 1; --level) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(levelColour(level, pal));
        painter.drawRoundedRect(QRectF(x, legendTop, kCellSize, kCellSize), 4, 4);
        x += kCellSize + 7;
    }
    text(QStringLiteral("Less"));

    const QString streak = QStringLiteral("Current streak");
    x = gridLeft() + gridWidth() - metrics.horizontalAdvance(streak) - 2 - 7 - kCellSize;
    QColor outline = theme::accent();
    outline.setAlphaF(0.65F);
    painter.setPen(QPen(outline, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(x, legendTop, kCellSize, kCellSize).adjusted(0.75, 0.75, -0.75, -0.75), 5, 5);
    x += kCellSize + 7;
    text(streak);
}

} // namespace quillo
