#include "ui/main/HomeView.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "platform/Clock.h"
#include "store/DataStore.h"
#include "ui/main/MiniHistoryRow.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/DateText.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/StatCard.h"
#include "ui/widgets/StoreWatcher.h"

namespace quillo {

HomeView::HomeView(DataStore& store, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_store(store), m_clock(clock), m_watcher(new StoreWatcher(store, this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(44, 44, 44, 44);
    layout->setSpacing(44);

    auto* header = new QVBoxLayout;
    header->setSpacing(10);
    m_greeting = new ThemedLabel(QString(), ThemedLabel::Role::primary, theme::font(34, QFont::Bold));
    m_greeting->setObjectName(QStringLiteral("greeting"));
    header->addWidget(m_greeting);
    header->addWidget(new ThemedLabel(QStringLiteral("Hold your hotkey to start dictating."),
                                      ThemedLabel::Role::secondary,
                                      theme::font(theme::bodySize)));
    layout->addLayout(header);

    m_cards[0] = new StatCard({"audio-input-microphone-symbolic"}, QStringLiteral("Dictations"));
    m_cards[1] = new StatCard({"format-justify-left-symbolic", "format-text-symbolic"}, QStringLiteral("Words Spoken"));
    m_cards[2] = new StatCard({"insert-text-symbolic"}, QStringLiteral("Snippets"));
    m_cards[3] = new StatCard({"accessories-dictionary-symbolic"}, QStringLiteral("Custom Words"));
    layout->addLayout(makeCardRow({m_cards[0], m_cards[1], m_cards[2], m_cards[3]}));

    m_recentSection = new QWidget;
    m_recentSection->setObjectName(QStringLiteral("recent"));
    auto* section = new QVBoxLayout(m_recentSection);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(14);
    QFont headFont = theme::font(theme::sectionHeadSize, QFont::DemiBold);
    headFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    section->addWidget(new ThemedLabel(QStringLiteral("RECENT"), ThemedLabel::Role::tertiary, headFont));
    m_recentRows = new QVBoxLayout;
    m_recentRows->setSpacing(10);
    section->addLayout(m_recentRows);
    layout->addWidget(m_recentSection);
    layout->addStretch(1);
    scroll->setWidget(content);

    connect(m_watcher, &StoreWatcher::changed, this, [this] {
        // A page the window is not showing catches up when it is shown.
        if (!(parentWidget() && isHidden())) {
            refresh();
        }
    });
    refresh();
}

QString HomeView::greeting(int hour)
{
    if (hour < 12) {
        return QStringLiteral("Good morning");
    }
    if (hour < 17) {
        return QStringLiteral("Good afternoon");
    }
    return QStringLiteral("Good evening");
}

void HomeView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh(); // the greeting and the relative times move on while hidden
}

void HomeView::refresh()
{
    const auto now = m_clock.now();
    m_greeting->setText(greeting(datetext::localHour(now)));

    // Only the two counters: the streaks and speed are Insights' to compute.
    m_cards[0]->setValue(QString::number(m_store.totalDictations()));
    m_cards[1]->setValue(QString::number(m_store.totalWords()));
    m_cards[2]->setValue(QString::number(m_store.snippets().size()));
    m_cards[3]->setValue(QString::number(m_store.dictionaryWords().size()));

    const std::vector<DictationEntry> recent = m_store.readHistory([](std::span<const DictationEntry> history) {
        const auto count = std::min<std::size_t>(history.size(), kRecentCount);
        return std::vector<DictationEntry>(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(count));
    });
    while (QLayoutItem* item = m_recentRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const DictationEntry& entry : recent) {
        m_recentRows->addWidget(new MiniHistoryRow(entry, now));
    }
    m_recentSection->setVisible(!recent.empty());
}

QString HomeView::greetingText() const
{
    return m_greeting->text();
}

QList<MiniHistoryRow*> HomeView::recentRows() const
{
    QList<MiniHistoryRow*> rows;
    for (int i = 0; i < m_recentRows->count(); ++i) {
        rows << qobject_cast<MiniHistoryRow*>(m_recentRows->itemAt(i)->widget());
    }
    return rows;
}

bool HomeView::recentSectionVisible() const
{
    return !m_recentSection->isHidden();
}

} // namespace quillo
