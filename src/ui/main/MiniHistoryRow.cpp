#include "ui/main/MiniHistoryRow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/widgets/DateText.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {
constexpr std::initializer_list<const char*> kCopyIcon = {"edit-copy-symbolic", "edit-copy"};
constexpr std::initializer_list<const char*> kCheckIcon = {"object-select-symbolic", "emblem-ok-symbolic"};
} // namespace

MiniHistoryRow::MiniHistoryRow(const DictationEntry& entry, std::chrono::system_clock::time_point now, QWidget* parent)
    : CardFrame(12, 0, parent), m_entry(entry)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(14);
    auto* column = new QVBoxLayout;
    column->setSpacing(5);
    auto* text = new ClampedText(QString::fromStdString(entry.text()), 2, 4);
    text->setObjectName(QStringLiteral("text"));
    text->setFont(theme::font(theme::bodySize));
    column->addWidget(text);
    auto* when = new ThemedLabel(datetext::relative(entry.time(), now),
                                 ThemedLabel::Role::tertiary,
                                 theme::font(theme::captionSize));
    when->setObjectName(QStringLiteral("when"));
    column->addWidget(when);
    layout->addLayout(column, 1);

    m_copyButton = new QToolButton;
    m_copyButton->setObjectName(QStringLiteral("copy"));
    m_copyButton->setAutoRaise(true);
    m_copyButton->setCursor(Qt::PointingHandCursor);
    m_copyButton->setToolTip(QStringLiteral("Copy"));
    m_copyButton->setAccessibleName(QStringLiteral("Copy"));
    m_copyButton->setAccessibleDescription(QStringLiteral("Copies this dictation to the clipboard"));
    m_copyButton->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"));
    auto* buttonLayout = new QHBoxLayout(m_copyButton);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    m_copyIcon = new SymbolLabel(kCopyIcon, SymbolLabel::Tint::secondary, theme::captionSize);
    m_copyIcon->setAttribute(Qt::WA_TransparentForMouseEvents);
    buttonLayout->addWidget(m_copyIcon);
    m_copyButton->setFixedSize(theme::captionSize + 4, theme::captionSize + 4);
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->setContentsMargins(0, 3, 0, 0);
    buttonColumn->addWidget(m_copyButton);
    buttonColumn->addStretch(1);
    layout->addLayout(buttonColumn);
    connect(m_copyButton, &QToolButton::clicked, this, &MiniHistoryRow::copy);
}

void MiniHistoryRow::copy()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(m_entry.text()));
    setCopied(true);
    // Every press schedules its own reset, as a second press restarts nothing.
    QTimer::singleShot(kCopiedMilliseconds, this, [this] { setCopied(false); });
}

void MiniHistoryRow::setCopied(bool copied)
{
    m_copied = copied;
    if (copied) {
        m_copyIcon->setSymbol(kCheckIcon, SymbolLabel::Tint::green);
    } else {
        m_copyIcon->setSymbol(kCopyIcon, SymbolLabel::Tint::secondary);
    }
}

ClampedText::ClampedText(const QString& text, int maxLines, int extraLineSpacing, QWidget* parent)
    : QWidget(parent), m_text(text), m_maxLines(maxLines), m_extraLineSpacing(extraLineSpacing)
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QStringList ClampedText::visibleLines(int width) const
{
    QStringList lines;
    if (width <= 0) {
        return lines;
    }
    QString text = m_text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        if (lines.size() == m_maxLines - 1) {
            // The last allowed line takes the rest of the text, elided.
            QString rest = text.mid(line.textStart());
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            const QString shown = QFontMetrics(font()).elidedText(rest, Qt::ElideRight, width);
            lines << shown;
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int ClampedText::heightForWidth(int width) const
{
    const int count = std::max<int>(1, static_cast<int>(visibleLines(width).size()));
    const QFontMetrics metrics(font());
    return count * metrics.height() + (count - 1) * m_extraLineSpacing;
}

QSize ClampedText::sizeHint() const
{
    return {400, heightForWidth(400)};
}

QSize ClampedText::minimumSizeHint() const
{
    return {100, QFontMetrics(font()).height()};
}

void ClampedText::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Nested layouts in a scroll area size this by its one-line minimum, not
    // by heightForWidth: hold the height its lines need at the width it got.
    if (const int needed = heightForWidth(width()); minimumHeight() != needed) {
        setMinimumHeight(needed);
    }
}

void ClampedText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(theme::textPrimary(palette()));
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const QString& line : visibleLines(width())) {
        painter.drawText(0, y, line);
        y += metrics.height() + m_extraLineSpacing;
    }
}

} // namespace quillo
