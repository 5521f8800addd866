#include "ui/widgets/PillButton.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>

#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {
constexpr int kSymbolGap = 5;
constexpr int kFadeMilliseconds = 100;

int symbolSize(const QFont& font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
}
} // namespace

PillButton::PillButton(const QString& text, Kind kind, std::vector<const char*> symbol, QWidget* parent)
    : QAbstractButton(parent), m_kind(kind), m_symbol(std::move(symbol))
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

void PillButton::setPadding(int vertical, int horizontal)
{
    m_paddingVertical = vertical;
    m_paddingHorizontal = horizontal;
    updateGeometry();
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(text()) + 2 * m_paddingHorizontal;
    int height = metrics.height();
    if (!m_symbol.empty()) {
        width += symbolSize(font()) + kSymbolGap;
        height = std::max(height, symbolSize(font()));
    }
    return {width, height + 2 * m_paddingVertical};
}

QColor PillButton::fillColour() const
{
    QColor colour;
    switch (m_kind) {
    case Kind::prominent:
        colour = isEnabled() ? theme::accent() : theme::textTertiary(palette());
        if (!isEnabled()) {
            colour.setAlphaF(0.25F);
        }
        break;
    case Kind::neutral:
        colour = theme::rowHover(palette());
        break;
    case Kind::destructive:
        colour = theme::red();
        colour.setAlphaF(theme::isDark(palette()) ? 0.14F : 0.07F);
        break;
    case Kind::accent:
        colour = underMouse() && isEnabled() ? theme::accentSoft() : QColor(Qt::transparent);
        break;
    }
    if (isDown()) {
        colour = m_kind == Kind::prominent ? colour.darker(115) : theme::rowSelected(palette());
    }
    return colour;
}

QColor PillButton::textColour() const
{
    QColor colour;
    switch (m_kind) {
    case Kind::prominent:
        colour = isEnabled() ? QColor(Qt::white) : theme::textTertiary(palette());
        break;
    case Kind::neutral:
        colour = theme::textSecondary(palette());
        break;
    case Kind::destructive:
        // The light red keeps its contrast on a dark background.
        colour = theme::isDark(palette()) ? QColor(248, 113, 113) : theme::red();
        colour.setAlphaF(0.75F);
        break;
    case Kind::accent:
        colour = isEnabled() ? theme::accentText(palette()) : theme::textTertiary(palette());
        break;
    }
    return colour;
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColour());
    painter.drawRoundedRect(QRectF(rect()), 6, 6);

    const QColor colour = textColour();
    const QSize content = sizeHint() - QSize(2 * m_paddingHorizontal, 2 * m_paddingVertical);
    int x = (width() - content.width()) / 2;
    if (!m_symbol.empty()) {
        const int size = symbolSize(font());
        const QPixmap symbol = theme::tintedIcon(m_symbol, colour, size, devicePixelRatioF());
        painter.drawPixmap(QRect(x, (height() - size) / 2, size, size), symbol);
        x += size + kSymbolGap;
    }
    painter.setFont(font());
    painter.setPen(colour);
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus() && focusPolicy() != Qt::NoFocus) {
        theme::paintFocusRing(painter, QRectF(rect()), 6);
    }
}

void fadeWidget(QWidget* widget, bool visible)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
        effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(widget->isHidden() ? 0 : 1);
        widget->setGraphicsEffect(effect);
    }
    auto* animation = widget->findChild<QPropertyAnimation*>(QString(), Qt::FindDirectChildrenOnly);
    if (!animation) {
        animation = new QPropertyAnimation(effect, "opacity", widget);
        animation->setDuration(kFadeMilliseconds);
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        QObject::connect(animation, &QPropertyAnimation::finished, widget, [widget, effect] {
            if (effect->opacity() == 0) {
                widget->hide();
            }
        });
    }
    animation->stop();
    animation->setStartValue(effect->opacity());
    animation->setEndValue(visible ? 1.0 : 0.0);
    if (visible) {
        widget->show();
    }
    animation->start();
}

} // namespace quillo
