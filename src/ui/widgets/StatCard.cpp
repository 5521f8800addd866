#include "ui/widgets/StatCard.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/widgets/QuilloTheme.h"

namespace quillo {

QHBoxLayout* makeCardRow(std::initializer_list<QWidget*> cards)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    for (QWidget* card : cards) {
        // Equal shares whatever the texts: a long label wraps instead of
        // widening its card and pushing the row past a narrow window.
        card->setSizePolicy(QSizePolicy::Ignored, card->sizePolicy().verticalPolicy());
        row->addWidget(card, 1);
    }
    return row;
}

StatCard::StatCard(const std::vector<const char*>& icon, const QString& label, QWidget* parent)
    : CardFrame(12, 3, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 24);
    layout->setSpacing(16);
    layout->addWidget(new SymbolLabel(icon, SymbolLabel::Tint::accent, 21));
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    m_value = new ThemedLabel(QStringLiteral("0"),
                              ThemedLabel::Role::primary,
                              theme::font(theme::statValueSize, QFont::Bold));
    m_value->setObjectName(QStringLiteral("value"));
    auto* caption = new ThemedLabel(label, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    caption->setObjectName(QStringLiteral("label"));
    text->addWidget(m_value);
    text->addWidget(caption);
    layout->addLayout(text);
}

void StatCard::setValue(const QString& value)
{
    m_value->setText(value);
}

QString StatCard::value() const
{
    return m_value->text();
}

InsightCard::InsightCard(const std::vector<const char*>& icon, QWidget* parent) : CardFrame(12, 3, parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 24);
    layout->setSpacing(14);
    auto* symbol = new SymbolLabel(icon, SymbolLabel::Tint::accent, 21);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    m_value = new ThemedLabel(QString(), ThemedLabel::Role::primary, theme::font(theme::statValueSize, QFont::Bold));
    m_value->setObjectName(QStringLiteral("value"));
    m_label = new ThemedLabel(QString(), ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setWordWrap(true);
    text->addWidget(m_value);
    text->addWidget(m_label);
    layout->addLayout(text, 1);
}

void InsightCard::setContent(const QString& value, const QString& label)
{
    m_value->setText(value);
    m_label->setText(label);
}

QString InsightCard::value() const
{
    return m_value->text();
}

QString InsightCard::label() const
{
    return m_label->text();
}

} // namespace quillo
