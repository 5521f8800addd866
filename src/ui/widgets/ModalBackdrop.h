#pragma once

#include <QSize>
#include <QWidget>

namespace quillo {

// A child of `host` that covers it entirely, follows its resizes, dims it
// with black at 35% and keeps the mouse from reaching the widgets below.
// It draws a rounded card with a soft shadow in its centre and places the
// subclass's content widget on it.
class ModalBackdrop : public QWidget
{
    Q_OBJECT

public:
    enum class CardFill
    {
        card,   // the theme's card background and border
        window, // the window's own background
    };

signals:
    // The dimmed area outside the card was clicked.
    void backdropClicked();

protected:
    ModalBackdrop(QWidget* host, qreal radius, CardFill fill);

    // `content` becomes the card's child; the card takes `size`, or the
    // content's size hint when `size` is invalid, shrunk to fit the host.
    void setCard(QWidget* content, QSize size = QSize());
    QRect cardRect() const;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    qreal m_radius;
    CardFill m_fill;
    QWidget* m_content = nullptr;
    QSize m_size;
    bool m_pressedOutside = false;
};

} // namespace quillo
