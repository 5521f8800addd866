#include "ui/main/HistoryRowDelegate.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTimer>

#include "ui/main/HistoryListModel.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {
constexpr int kExtraLineSpacing = 5;
constexpr int kMetaGap = 7;
constexpr int kIconSize = 14;

QString buttonWord(bool copied)
{
    return copied ? QStringLiteral("Copied") : QStringLiteral("Copy");
}
} // namespace

HistoryRowDelegate::HistoryRowDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), m_view(view), m_bodyFont(theme::font(theme::bodySize)),
      m_captionFont(theme::font(theme::captionSize)), m_buttonFont(theme::font(theme::captionSize, QFont::Medium)),
      m_body(m_bodyFont), m_caption(m_captionFont), m_button(m_buttonFont)
{}

QString HistoryRowDelegate::wordCountText(qulonglong count)
{
    return count == 1 ? QStringLiteral("%1 word").arg(count) : QStringLiteral("%1 words").arg(count);
}

QRect HistoryRowDelegate::cardRect(const QRect& rowRect) const
{
    return rowRect.adjusted(kSideMargin, kRowGap / 2, -kSideMargin, -kRowGap / 2);
}

QRect HistoryRowDelegate::copyButtonRect(const QRect& rowRect, bool copied) const
{
    const int width = 12 + kIconSize + 5 + m_button.horizontalAdvance(buttonWord(copied)) + 12;
    const int height = 6 + m_button.height() + 6;
    const QRect card = cardRect(rowRect);
    return {card.right() - kPadding - width + 1, card.top() + kPadding + 2, width, height};
}

int HistoryRowDelegate::textWidth(int rowWidth) const
{
    // The button is laid out at its widest ("Copied") so text never reflows on a press.
    const QRect button = copyButtonRect(QRect(0, 0, rowWidth, 100), true);
    return std::max(50, rowWidth - 2 * kSideMargin - 2 * kPadding - 16 - button.width());
}

HistoryRowDelegate::Lines HistoryRowDelegate::layoutText(const QString& source, int width) const
{
    Lines lines;
    QString text = source;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, m_bodyFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString piece = text.mid(line.textStart(), line.textLength());
        piece.remove(QChar::LineSeparator);
        lines.text << piece;
    }
    layout.endLayout();
    if (lines.text.isEmpty()) {
        lines.text << QString();
    }
    const int count = static_cast<int>(lines.text.size());
    lines.height = count * m_body.height() + (count - 1) * kExtraLineSpacing;
    return lines;
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int rowWidth = m_view ? m_view->viewport()->width() : option.rect.width();
    // The list measures every row again after each change of the history or
    // the search; an entry's text never changes, so its height at this width
    // is measured once.
    if (rowWidth != m_heightsWidth) {
        m_heights.clear();
        m_heightsWidth = rowWidth;
    }
    const QString id = index.data(HistoryListModel::IdRole).toString();
    if (const auto known = m_heights.constFind(id); known != m_heights.constEnd()) {
        return {rowWidth, *known};
    }
    const Lines lines = layoutText(index.data(HistoryListModel::TextRole).toString(), textWidth(rowWidth));
    const int textBlock = lines.height + kMetaGap + m_caption.height();
    const int buttonBlock = 2 + copyButtonRect(QRect(0, 0, rowWidth, 100), true).height();
    const int height = kRowGap + 2 * kPadding + std::max(textBlock, buttonBlock);
    m_heights.insert(id, height);
    return {rowWidth, height};
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The application's palette: the item view's own Base is the list's background.
    const QPalette palette = QGuiApplication::palette();
    const QRect card = cardRect(option.rect);
    painter->save();
    theme::paintCard(*painter, QRectF(card).adjusted(0, 0, 0, -1), palette, 12, 2);

    const QString id = index.data(HistoryListModel::IdRole).toString();
    const bool copied = m_copied.contains(id);

    // The text, every line of it.
    const Lines lines = layoutText(index.data(HistoryListModel::TextRole).toString(), textWidth(option.rect.width()));
    painter->setFont(m_bodyFont);
    painter->setPen(theme::textPrimary(palette));
    const QFontMetrics& body = m_body;
    const int left = card.left() + kPadding;
    int y = card.top() + kPadding;
    for (const QString& line : lines.text) {
        painter->drawText(left, y + body.ascent(), line);
        y += body.height() + kExtraLineSpacing;
    }
    y = card.top() + kPadding + lines.height + kMetaGap;

    // Date · word count.
    painter->setFont(m_captionFont);
    painter->setPen(theme::textTertiary(palette));
    const QFontMetrics& caption = m_caption;
    const QString meta = index.data(HistoryListModel::DateTextRole).toString() + QStringLiteral("  \u00B7  ") +
                         wordCountText(index.data(HistoryListModel::WordCountRole).toULongLong());
    painter->drawText(left, y + caption.ascent(), meta);

    // The Copy button.
    const QRect button = copyButtonRect(option.rect, copied);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    QColor fill = copied ? theme::green() : theme::rowHover(palette);
    if (copied) {
        fill.setAlphaF(0.08F);
    }
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(button), 7, 7);
    const QColor ink = copied ? theme::green() : theme::textSecondary(palette);
    const QPixmap icon = copied ? theme::tintedIcon({"object-select-symbolic", "emblem-ok-symbolic"},
                                                    ink,
                                                    kIconSize,
                                                    painter->device()->devicePixelRatioF())
                                : theme::tintedIcon({"edit-copy-symbolic", "edit-copy"},
                                                    ink,
                                                    kIconSize,
                                                    painter->device()->devicePixelRatioF());
    const int iconTop = button.top() + (button.height() - kIconSize) / 2;
    painter->drawPixmap(QRect(button.left() + 12, iconTop, kIconSize, kIconSize), icon);
    painter->setFont(m_buttonFont);
    painter->setPen(ink);
    painter->drawText(button.adjusted(12 + kIconSize + 5, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      buttonWord(copied));
    painter->restore();
}

bool HistoryRowDelegate::editorEvent(QEvent* event,
                                     QAbstractItemModel* model,
                                     const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool copied = m_copied.contains(index.data(HistoryListModel::IdRole).toString());
        if (mouse->button() == Qt::LeftButton &&
            copyButtonRect(option.rect, copied).contains(mouse->position().toPoint())) {
            copy(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

void HistoryRowDelegate::copy(const QModelIndex& index)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(index.data(HistoryListModel::TextRole).toString());
    const QString id = index.data(HistoryListModel::IdRole).toString();
    m_copied.insert(id);
    m_view->viewport()->update();
    // Every press schedules its own reset.
    QTimer::singleShot(kCopiedMilliseconds, this, [this, id] {
        m_copied.remove(id);
        m_view->viewport()->update();
    });
}

} // namespace quillo
