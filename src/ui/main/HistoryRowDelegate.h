#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QSet>
#include <QStyledItemDelegate>

class QAbstractItemView;

namespace quillo {

// Draws each history entry as a card: the whole text, the date and word
// count, and a Copy button that reads "Copied" for a moment after a press.
// Rows are painted rather than built from widgets so a list of 100,000
// entries costs only the rows on screen.
class HistoryRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kCopiedMilliseconds = 1500;
    static constexpr int kSideMargin = 40;
    static constexpr int kRowGap = 12;
    static constexpr int kPadding = 20;

    explicit HistoryRowDelegate(QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the Copy button of the row in `rowRect` is drawn.
    QRect copyButtonRect(const QRect& rowRect, bool copied) const;
    bool isCopied(const QString& id) const { return m_copied.contains(id); }
    // "1 word", "0 words", "12 words".
    static QString wordCountText(qulonglong count);

protected:
    bool editorEvent(QEvent* event,
                     QAbstractItemModel* model,
                     const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    struct Lines
    {
        QStringList text;
        int height = 0;
    };
    Lines layoutText(const QString& text, int width) const;
    QRect cardRect(const QRect& rowRect) const;
    int textWidth(int rowWidth) const;
    void copy(const QModelIndex& index);

    QAbstractItemView* m_view;
    // Made once: sizeHint and paint run for every row laid out or painted.
    const QFont m_bodyFont;
    const QFont m_captionFont;
    const QFont m_buttonFont;
    const QFontMetrics m_body;
    const QFontMetrics m_caption;
    const QFontMetrics m_button;
    QSet<QString> m_copied;
    mutable QHash<QString, int> m_heights; // row heights by entry id, at m_heightsWidth
    mutable int m_heightsWidth = -1;       // ids of the rows showing "Copied"
};

} // namespace quillo
