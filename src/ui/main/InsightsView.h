#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

#include <QWidget>

#include "ui/widgets/CardFrame.h"

class QTimer;

namespace quillo {

class DataStore;
class HeatmapView;
class InsightCard;
class LatestJob;
class StoreWatcher;

// The streaks and the activity calendar, on one card.
class ActivityCard final : public CardFrame
{
    Q_OBJECT

public:
    explicit ActivityCard(DataStore& store, QWidget* parent = nullptr);
    void setStreaks(int current, int longest);
    HeatmapView* heatmap() const { return m_heatmap; }
    QString currentStreakText() const;
    QString longestStreakText() const;

    static QString currentStreakText(int days);
    static QString longestStreakText(int days);

private:
    ThemedLabel* m_current;
    QLabel* m_longest;
    HeatmapView* m_heatmap;
};

// The statistics page: three summary cards and the activity card, all
// recomputed once per store change and once when the local day changes, on
// another thread for a long history (and for a long history not before the
// page is first shown).
class InsightsView final : public QWidget
{
    Q_OBJECT

public:
    // Histories up to this many entries are summed up on the GUI thread.
    static constexpr std::size_t kInlineEntries = 2000;

    explicit InsightsView(DataStore& store, QWidget* parent = nullptr);
    ~InsightsView() override;

    InsightCard* card(int index) const { return m_cards[index]; }
    ActivityCard* activity() const { return m_activity; }

    // "88" for 87.5 words per minute; the em dash when there is no average.
    static QString wpmText(std::optional<double> wpm);
    // Figures are being computed on the other thread.
    bool isUpdating() const;

public slots:
    void refresh();
    // Recomputes when the local day is no longer the one last shown (past
    // midnight, or after a suspend across it).
    void checkDay();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Figures;
    void present(Figures figures);
    void armDayTimer();

    DataStore& m_store;
    StoreWatcher* m_watcher;
    bool m_stale = false;                         // the store changed while the page was not shown
    std::optional<std::chrono::local_days> m_day; // today, when the figures were computed
    QTimer* m_dayTimer;
    InsightCard* m_cards[3];
    ActivityCard* m_activity;
    std::unique_ptr<LatestJob> m_job;
};

} // namespace quillo
