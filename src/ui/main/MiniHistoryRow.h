#pragma once

#include <chrono>

#include "base/DictationEntry.h"
#include "ui/widgets/CardFrame.h"

class QToolButton;

namespace quillo {

// One of Home's recent dictations: the text clamped to two lines, how long
// ago it was made, and a copy button that shows a check mark for a moment.
class MiniHistoryRow final : public CardFrame
{
    Q_OBJECT

public:
    static constexpr int kCopiedMilliseconds = 1500;

    MiniHistoryRow(const DictationEntry& entry, std::chrono::system_clock::time_point now, QWidget* parent = nullptr);

    const DictationEntry& entry() const { return m_entry; }
    bool isCopied() const { return m_copied; }
    QToolButton* copyButton() const { return m_copyButton; }

private:
    void copy();
    void setCopied(bool copied);

    DictationEntry m_entry;
    QToolButton* m_copyButton;
    SymbolLabel* m_copyIcon;
    bool m_copied = false;
};

// Text that wraps and stops after `maxLines`, the last line cut with an ellipsis.
class ClampedText final : public QWidget
{
public:
    ClampedText(const QString& text, int maxLines, int extraLineSpacing, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QString text() const { return m_text; }
    // The lines shown at `width`, the last one elided when the text is cut.
    QStringList visibleLines(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_text;
    int m_maxLines;
    int m_extraLineSpacing;
};

} // namespace quillo
