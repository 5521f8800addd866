#include "ui/shell/RecordingIndicatorWindow.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBitmap>
#include <QCursor>
#include <QEasingCurve>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>
#include <QWidget>

namespace quillo {

namespace {

constexpr qreal kDotDiameter = 13;
constexpr qreal kDotToText = 10;
constexpr qreal kHorizontalPadding = 22;
constexpr qreal kVerticalPadding = 13;
constexpr qreal kSmallDot = 0.85;
constexpr qreal kLargeDot = 1.25;
constexpr int kPulseMilliseconds = 550;
constexpr int kTextPixelSize = 17;
const QColor kDotRed(255, 59, 48);
const QColor kCapsuleBlack(0, 0, 0, qRound(0.82 * 255));

// Slow at both ends, the same curve as CSS "ease-in-out".
QEasingCurve easeInEaseOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

// The screen the user works on: the focused window's, else the pointer's.
const QScreen* workingScreen(const std::function<std::optional<QPoint>()>& focusedWindowCentre)
{
    if (const auto centre = focusedWindowCentre ? focusedWindowCentre() : std::nullopt) {
        if (const QScreen* screen = QGuiApplication::screenAt(*centre)) {
            return screen;
        }
    }
    if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        return screen;
    }
    return QGuiApplication::primaryScreen();
}

const QString kPillName = QStringLiteral("quilloRecordingIndicator");

// Read as a notification, a screen reader says "Recording" when the pill
// appears, as it does for the desktop's own notifications.
QAccessibleInterface* pillAccessible(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->isWindow() && widget->objectName() == kPillName) {
        return new QAccessibleWidget(widget, QAccessible::Notification); // named by its accessibleName
    }
    return nullptr;
}

} // namespace

class RecordingIndicatorWindow::Pill final : public QWidget
{
public:
    explicit Pill(RecordingIndicatorWindow::Desktop desktop)
        : QWidget(nullptr,
                  Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint |
                      Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
          m_desktop(std::move(desktop))
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Quillo Recording Indicator"));
        setObjectName(kPillName);
        setAccessibleName(QStringLiteral("Recording"));
        setFixedSize(kWidth, kHeight);

        m_font = font();
        m_font.setPixelSize(kTextPixelSize);
        m_font.setWeight(QFont::DemiBold);

        auto* grow = new QVariantAnimation(&m_pulse);
        grow->setStartValue(kSmallDot);
        grow->setEndValue(kLargeDot);
        auto* shrink = new QVariantAnimation(&m_pulse);
        shrink->setStartValue(kLargeDot);
        shrink->setEndValue(kSmallDot);
        for (QVariantAnimation* half : {grow, shrink}) {
            half->setDuration(kPulseMilliseconds);
            half->setEasingCurve(easeInEaseOut());
            QObject::connect(half, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
                m_dotScale = value.toReal();
                update();
            });
            m_pulse.addAnimation(half);
        }
        m_pulse.setLoopCount(-1);
    }

    void present()
    {
        move(placement());
        // Without a compositor the window's shape has to be the capsule itself.
        if (m_desktop.compositorRunning && m_desktop.compositorRunning()) {
            clearMask();
        } else {
            QBitmap shape(size());
            shape.fill(Qt::color0);
            QPainter painter(&shape);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::color1);
            painter.drawPath(capsulePath());
            painter.end();
            setMask(shape);
        }
        QWidget::show();
        raise();
        if (m_pulse.state() == QAbstractAnimation::Paused) {
            m_pulse.resume();
        } else if (m_pulse.state() == QAbstractAnimation::Stopped) {
            m_pulse.start();
        }
    }

    void dismiss()
    {
        if (m_pulse.state() == QAbstractAnimation::Running) {
            m_pulse.pause();
        }
        QWidget::hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kCapsuleBlack);
        painter.drawPath(capsulePath());

        const QRectF capsule = capsuleRect();
        const QPointF dotCentre(capsule.left() + kHorizontalPadding + kDotDiameter / 2, capsule.center().y());
        const qreal radius = kDotDiameter / 2 * m_dotScale;
        painter.setBrush(kDotRed);
        painter.drawEllipse(dotCentre, radius, radius);

        const qreal textLeft = capsule.left() + kHorizontalPadding + kDotDiameter + kDotToText;
        painter.setPen(Qt::white);
        painter.setFont(m_font);
        painter.drawText(QRectF(textLeft, capsule.top(), capsule.right() - textLeft, capsule.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         text());
    }

private:
    static QString text() { return QStringLiteral("Recording\u2026"); }

    // The capsule wraps the dot and the text with their padding and sits in
    // the middle of the window.
    QRectF capsuleRect() const
    {
        const QFontMetricsF metrics(m_font);
        const qreal contentWidth = kDotDiameter + kDotToText + metrics.horizontalAdvance(text());
        const qreal contentHeight = std::max(kDotDiameter, metrics.height());
        const qreal w = std::min<qreal>(width(), contentWidth + 2 * kHorizontalPadding);
        const qreal h = std::min<qreal>(height(), contentHeight + 2 * kVerticalPadding);
        return QRectF((width() - w) / 2, (height() - h) / 2, w, h);
    }

    QPainterPath capsulePath() const
    {
        const QRectF capsule = capsuleRect();
        QPainterPath path;
        path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        return path;
    }

    // Centred horizontally (to within half a point), its bottom edge
    // kBottomMargin above the bottom of the whole screen the user works on,
    // panels included.
    QPoint placement() const
    {
        const QScreen* screen = workingScreen(m_desktop.focusedWindowCentre);
        if (!screen) {
            return {0, 0};
        }
        const QRect area = screen->geometry();
        return {area.x() + area.width() / 2 - kWidth / 2, area.y() + area.height() - kBottomMargin - kHeight};
    }

    QFont m_font;
    RecordingIndicatorWindow::Desktop m_desktop;
    QSequentialAnimationGroup m_pulse;
    qreal m_dotScale = kSmallDot;
};

RecordingIndicatorWindow::RecordingIndicatorWindow(Desktop desktop)
{
    // Before the pill exists: its accessible object is made, and kept, as soon as it is.
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(pillAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    m_pill = std::make_unique<Pill>(std::move(desktop));
}

RecordingIndicatorWindow::~RecordingIndicatorWindow() = default;

void RecordingIndicatorWindow::show()
{
    if (!m_pill->isVisible()) {
        m_pill->present();
    }
}

void RecordingIndicatorWindow::hide()
{
    if (m_pill->isVisible()) {
        m_pill->dismiss();
    }
}

QWidget* RecordingIndicatorWindow::widget() const
{
    return m_pill.get();
}

} // namespace quillo
