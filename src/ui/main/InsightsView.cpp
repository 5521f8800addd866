#include "ui/main/InsightsView.h"

#include <algorithm>

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "store/DataStore.h"
#include "ui/main/HeatmapView.h"
#include "ui/widgets/LatestJob.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/StatCard.h"
#include "ui/widgets/StoreWatcher.h"

namespace quillo {

ActivityCard::ActivityCard(DataStore& store, QWidget* parent) : CardFrame(14, 3, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 30);
    layout->setSpacing(24);
    auto* streaks = new QHBoxLayout;
    m_current = new ThemedLabel(QString(), ThemedLabel::Role::primary, theme::font(36, QFont::Bold));
    m_current->setObjectName(QStringLiteral("currentStreak"));
    QFont longestFont = theme::font(14, QFont::DemiBold);
    longestFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    m_longest = new QLabel;
    m_longest->setObjectName(QStringLiteral("longestStreak"));
    m_longest->setFont(longestFont);
    m_longest->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(theme::accentText(palette()).name()));
    streaks->addWidget(m_current, 0, Qt::AlignBottom);
    streaks->addStretch(1);
    streaks->addWidget(m_longest, 0, Qt::AlignBottom);
    layout->addLayout(streaks);
    m_heatmap = new HeatmapView(store);
    layout->addWidget(m_heatmap, 0, Qt::AlignLeft);
}

QString ActivityCard::currentStreakText(int days)
{
    return days == 1 ? QStringLiteral("%1 day streak").arg(days) : QStringLiteral("%1 days streak").arg(days);
}

QString ActivityCard::longestStreakText(int days)
{
    return days == 1 ? QStringLiteral("LONGEST STREAK | %1 DAY").arg(days)
                     : QStringLiteral("LONGEST STREAK | %1 DAYS").arg(days);
}

void ActivityCard::setStreaks(int current, int longest)
{
    m_current->setText(currentStreakText(current));
    m_longest->setText(longestStreakText(longest));
}

QString ActivityCard::currentStreakText() const
{
    return m_current->text();
}

QString ActivityCard::longestStreakText() const
{
    return m_longest->text();
}

struct InsightsView::Figures
{
    DictationStatistics statistics;
    HeatmapModel heatmap;
};

InsightsView::InsightsView(DataStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_watcher(new StoreWatcher(store, this)), m_dayTimer(new QTimer(this)),
      m_job(std::make_unique<LatestJob>(this))
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
    layout->setSpacing(28);
    auto* header = new QVBoxLayout;
    header->setSpacing(10);
    header->addWidget(
        new ThemedLabel(QStringLiteral("Insights"), ThemedLabel::Role::primary, theme::font(34, QFont::Bold)));
    header->addWidget(new ThemedLabel(QStringLiteral("Stats from your real dictation history."),
                                      ThemedLabel::Role::secondary,
                                      theme::font(theme::bodySize)));
    layout->addLayout(header);

    m_cards[0] = new InsightCard({"audio-input-microphone-symbolic"});
    m_cards[1] = new InsightCard({"format-justify-left-symbolic", "format-text-symbolic"});
    m_cards[2] = new InsightCard(
        {"speedometer-symbolic", "power-profile-performance-symbolic", "org.gnome.Settings-power-symbolic"});
    layout->addLayout(makeCardRow({m_cards[0], m_cards[1], m_cards[2]}));
    m_activity = new ActivityCard(store);
    layout->addWidget(m_activity);
    layout->addStretch(1);
    scroll->setWidget(content);

    connect(m_watcher, &StoreWatcher::changed, this, [this] {
        // A page the window is not showing catches up when it is shown.
        if (parentWidget() && isHidden()) {
            m_stale = true;
        } else {
            refresh();
        }
    });
    if (m_store.totalDictations() <= kInlineEntries) {
        refresh();
    } else {
        m_stale = true; // a long history waits until the page is first shown
    }

    m_dayTimer->setSingleShot(true);
    connect(m_dayTimer, &QTimer::timeout, this, [this] {
        checkDay();
        armDayTimer();
    });
    armDayTimer();
}

void InsightsView::armDayTimer()
{
    // Just past the next midnight, but at least once a minute: a timer does
    // not count the time the computer was suspended.
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
    const qint64 untilMidnight = now.msecsTo(midnight) + 500;
    m_dayTimer->start(static_cast<int>(std::clamp<qint64>(untilMidnight, 1000, 60'000)));
}

void InsightsView::checkDay()
{
    if (m_store.today() == m_day) {
        return;
    }
    if (parentWidget() && isHidden()) {
        m_stale = true;
    } else {
        refresh();
    }
}

InsightsView::~InsightsView() = default;

void InsightsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Opening the page starts the calendar at the current weeks again; the
    // window coming back from being minimised does not.
    const bool reopened = !event->spontaneous() && m_activity->heatmap()->page() != 0;
    if (reopened) {
        m_activity->heatmap()->showCurrentWeeks();
    }
    if (m_stale || reopened || m_store.today() != m_day) {
        m_stale = false;
        refresh();
    }
}

QString InsightsView::wpmText(std::optional<double> wpm)
{
    if (!wpm) {
        return QStringLiteral("\u2014");
    }
    return QString::asprintf("%.0f", *wpm);
}

void InsightsView::refresh()
{
    m_day = m_store.today();
    auto work = [store = &m_store, page = m_activity->heatmap()->page()] {
        return Figures{store->statistics(), store->heatmap(page)};
    };
    if (m_store.totalDictations() <= kInlineEntries) {
        m_job->cancel();
        present(work());
    } else {
        m_job->start(work, [this](Figures figures) { present(std::move(figures)); });
    }
}

bool InsightsView::isUpdating() const
{
    return m_job->isPending();
}

void InsightsView::present(Figures figures)
{
    const DictationStatistics& stats = figures.statistics;
    m_cards[0]->setContent(QString::number(stats.totalDictations), QStringLiteral("Total Dictations"));
    m_cards[1]->setContent(QString::number(stats.totalWords), QStringLiteral("Total Words"));
    m_cards[2]->setContent(wpmText(stats.avgWPM),
                           stats.avgWPM ? QStringLiteral("Avg WPM") : QStringLiteral("Avg WPM (record more to see)"));
    m_activity->setStreaks(stats.currentStreak, stats.longestStreak);
    HeatmapView* heatmap = m_activity->heatmap();
    if (figures.heatmap.page == heatmap->page()) {
        heatmap->setModel(std::move(figures.heatmap));
    } else {
        heatmap->refresh(); // the user paged while the figures were computed
    }
}

} // namespace quillo
