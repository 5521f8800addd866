#include "ui/widgets/ModalBackdrop.h"

#include <algorithm>

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {
// Room left around the card when the host is smaller than the card wants.
constexpr int kMinimumMargin = 16;
} // namespace

ModalBackdrop::ModalBackdrop(QWidget* host, qreal radius, CardFill fill) : QWidget(host), m_radius(radius), m_fill(fill)
{
    setAttribute(Qt::WA_NoMousePropagation);
    setGeometry(host->rect());
    host->installEventFilter(this);
    raise();
}

void ModalBackdrop::setCard(QWidget* content, QSize size)
{
    m_content = content;
    m_size = size;
    content->setParent(this);
    content->setAttribute(Qt::WA_NoMousePropagation);
    content->setGeometry(cardRect());
}

QRect ModalBackdrop::cardRect() const
{
    if (m_content == nullptr) {
        return {};
    }
    const QSize wanted = m_size.isValid() ? m_size : m_content->sizeHint();
    const QSize room = size() - QSize(2 * kMinimumMargin, 2 * kMinimumMargin);
    const QSize fitted(std::max(0, std::min(wanted.width(), room.width())),
                       std::max(0, std::min(wanted.height(), room.height())));
    QRect card(QPoint(), fitted);
    card.moveCenter(rect().center());
    return card;
}

bool ModalBackdrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget()) {
        if (event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
        } else if (event->type() == QEvent::ChildAdded && static_cast<QChildEvent*>(event)->child() != this) {
            // A widget the host creates later would be stacked above the backdrop.
            QMetaObject::invokeMethod(this, &QWidget::raise, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ModalBackdrop::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_content != nullptr) {
        m_content->setGeometry(cardRect());
    }
}

void ModalBackdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 89));
    const QRectF card = cardRect();
    if (card.isEmpty()) {
        return;
    }
    if (m_fill == CardFill::card) {
        theme::paintCard(painter, card, palette(), m_radius, 8);
        return;
    }
    QPalette windowCard = palette();
    windowCard.setColor(QPalette::Active, QPalette::Base, theme::contentBg(palette()));
    theme::paintCard(painter, card, windowCard, m_radius, 8);
}

void ModalBackdrop::mousePressEvent(QMouseEvent* event)
{
    m_pressedOutside = event->button() == Qt::LeftButton && !cardRect().contains(event->position().toPoint());
    event->accept();
}

void ModalBackdrop::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release both outside the card, so a drag that
    // starts in the search field and ends outside does not dismiss.
    const bool outside = m_pressedOutside && !cardRect().contains(event->position().toPoint());
    m_pressedOutside = false;
    event->accept();
    if (outside && event->button() == Qt::LeftButton) {
        emit backdropClicked();
    }
}

} // namespace quillo
