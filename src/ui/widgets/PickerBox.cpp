#include "ui/widgets/PickerBox.h"

#include <algorithm>

#include <QPainter>

#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {
constexpr int kPaddingH = 12;
constexpr int kPaddingV = 6;
constexpr int kChevron = 12;
constexpr int kChevronGap = 8;
} // namespace

PickerBox::PickerBox(QWidget* parent) : QComboBox(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

QSize PickerBox::sizeHint() const
{
    const QFontMetrics metrics(font());
    int widest = metrics.horizontalAdvance(placeholderText());
    for (int i = 0; i < count(); ++i) {
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    }
    return {widest + 2 * kPaddingH + kChevronGap + kChevron, metrics.height() + 2 * kPaddingV};
}

QSize PickerBox::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 8 + 2 * kPaddingH + kChevronGap + kChevron, metrics.height() + 2 * kPaddingV};
}

void PickerBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor fill = theme::rowHover(palette());
    if (underMouse() && isEnabled()) {
        fill = theme::rowSelected(palette());
    }
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), 6, 6);

    const QColor text = isEnabled() ? theme::textPrimary(palette()) : theme::textTertiary(palette());
    const QRect textArea = rect().adjusted(kPaddingH, 0, -(kPaddingH + kChevronGap + kChevron), 0);
    const QString shown = currentIndex() >= 0 ? currentText() : placeholderText();
    painter.setFont(font());
    painter.setPen(text);
    painter.drawText(textArea,
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font()).elidedText(shown, Qt::ElideRight, textArea.width()));

    const QPixmap chevron = theme::tintedIcon({"pan-down-symbolic", "go-down-symbolic"},
                                              theme::textSecondary(palette()),
                                              kChevron,
                                              devicePixelRatioF());
    painter.drawPixmap(QRect(width() - kPaddingH - kChevron, (height() - kChevron) / 2, kChevron, kChevron), chevron);

    if (hasFocus()) {
        theme::paintFocusRing(painter, QRectF(rect()), 6);
    }
}

} // namespace quillo
