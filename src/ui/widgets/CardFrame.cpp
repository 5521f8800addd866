#include "ui/widgets/CardFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>

#include "ui/widgets/QuilloTheme.h"

namespace quillo {

CardFrame::CardFrame(qreal radius, qreal shadowRadius, QWidget* parent)
    : QWidget(parent), m_radius(radius), m_shadowRadius(shadowRadius)
{}

void CardFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Leave room for the shadow below the card.
    const QRectF card = QRectF(rect()).adjusted(1, 0, -1, -2);
    theme::paintCard(painter, card, palette(), m_radius, m_shadowRadius);
}

ThemedLabel::ThemedLabel(const QString& text, Role role, const QFont& font, QWidget* parent)
    : QLabel(text, parent), m_role(role)
{
    setFont(font);
    applyColour();
}

void ThemedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        applyColour();
    }
}

void ThemedLabel::applyColour()
{
    // From the application's palette: this label's own palette already holds
    // the derived colour, and deriving from it again would fade it further.
    const QPalette base = QGuiApplication::palette();
    QColor colour;
    switch (m_role) {
    case Role::primary:
        colour = theme::textPrimary(base);
        break;
    case Role::secondary:
        colour = theme::textSecondary(base);
        break;
    case Role::tertiary:
        colour = theme::textTertiary(base);
        break;
    }
    if (palette().color(QPalette::WindowText) != colour) {
        QPalette own = palette();
        own.setColor(QPalette::WindowText, colour);
        setPalette(own);
    }
}

SymbolLabel::SymbolLabel(const std::vector<const char*>& names, Tint tint, int size, QWidget* parent)
    : QLabel(parent), m_names(names), m_tint(tint), m_size(size)
{
    setFixedSize(size, size);
    render();
}

void SymbolLabel::setSymbol(const std::vector<const char*>& names, Tint tint)
{
    m_names = names;
    m_tint = tint;
    render();
}

void SymbolLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        render();
    }
}

void SymbolLabel::render()
{
    QColor colour;
    switch (m_tint) {
    case Tint::accent:
        colour = theme::accent();
        break;
    case Tint::secondary:
        colour = theme::textSecondary(palette());
        break;
    case Tint::tertiary:
        colour = theme::textTertiary(palette());
        break;
    case Tint::green:
        colour = theme::green();
        break;
    }
    for (const char* name : m_names) {
        QPixmap pixmap = theme::tintedIcon({name}, colour, m_size, devicePixelRatioF());
        if (!pixmap.isNull()) {
            setPixmap(pixmap);
            return;
        }
    }
    setPixmap(QPixmap());
}

} // namespace quillo
