#include "ui/widgets/QuilloTheme.h"

#include <QPainter>
#include <QPainterPath>

namespace quillo::theme {

namespace {
QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}
QColor label(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::WindowText);
}
} // namespace

QColor accent()
{
    return QColor(229, 72, 63);
}
QColor accentText(const QPalette& palette)
{
    return isDark(palette) ? QColor(255, 128, 118) : QColor(194, 55, 47);
}
QColor dangerText(const QPalette& palette)
{
    return isDark(palette) ? QColor(248, 113, 113) : QColor(200, 30, 30);
}
QColor accentSoft()
{
    return withAlpha(accent(), 0.12);
}
QColor green()
{
    return QColor(52, 168, 83);
}
QColor red()
{
    return QColor(220, 38, 38);
}
QColor textPrimary(const QPalette& palette)
{
    return label(palette);
}
QColor textSecondary(const QPalette& palette)
{
    return withAlpha(label(palette), 0.62);
}
QColor textTertiary(const QPalette& palette)
{
    return withAlpha(label(palette), 0.42);
}
QColor sidebarBg(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Base);
}
QColor contentBg(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Window);
}
QColor cardBg(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Base);
}
QColor cardBorder(const QPalette& palette)
{
    return withAlpha(palette.color(QPalette::Active, QPalette::Mid), 0.6);
}
QColor cardShadow()
{
    return QColor(0, 0, 0, 10);
}
QColor rowSelected(const QPalette& palette)
{
    return withAlpha(label(palette), 0.08);
}
QColor rowHover(const QPalette& palette)
{
    return withAlpha(label(palette), 0.05);
}
QColor keycapBg(const QPalette& palette)
{
    return withAlpha(label(palette), 0.06);
}
QColor emptyCell(const QPalette& palette)
{
    // Faint on a dark card, so that the first accent level stands out from it.
    return isDark(palette) ? QColor::fromRgbF(1, 1, 1, 0.05F) : QColor::fromRgbF(0.93F, 0.93F, 0.93F);
}
bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightnessF() < 0.5;
}

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f;
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QPixmap tintedIcon(const std::vector<const char*>& names, const QColor& color, int size, qreal devicePixelRatio)
{
    for (const char* name : names) {
        // ":/..." names one of Quillo's own compiled-in icons.
        const QIcon icon =
            name[0] == ':' ? QIcon(QString::fromLatin1(name)) : QIcon::fromTheme(QString::fromLatin1(name));
        if (icon.isNull()) {
            continue;
        }
        QPixmap pixmap = icon.pixmap(QSize(size, size), devicePixelRatio);
        if (pixmap.isNull()) {
            continue;
        }
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        return pixmap;
    }
    return {};
}

void paintFocusRing(QPainter& painter, const QRectF& rect, qreal radius)
{
    QColor ring = accent();
    ring.setAlphaF(0.5F);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
}

void paintCard(QPainter& painter, const QRectF& rect, const QPalette& palette, qreal radius, qreal shadowRadius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // A cheap soft shadow: a few widening translucent outlines, one pixel down.
    for (int i = static_cast<int>(shadowRadius); i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, 10 / i + 2));
        painter.drawRoundedRect(rect.adjusted(-i / 2.0, 1 - i / 2.0 + 1, i / 2.0, i / 2.0),
                                radius + i / 2.0,
                                radius + i / 2.0);
    }
    painter.setBrush(cardBg(palette));
    painter.setPen(QPen(cardBorder(palette), 1));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

} // namespace quillo::theme
