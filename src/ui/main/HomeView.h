#pragma once

#include <QWidget>

class QVBoxLayout;
class QLabel;

namespace quillo {

class Clock;
class DataStore;
class MiniHistoryRow;
class StatCard;
class StoreWatcher;
class ThemedLabel;

// The first page: a greeting for the time of day, four counters and the five
// newest dictations. Redrawn whenever the store changes.
class HomeView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRecentCount = 5;

    HomeView(DataStore& store, const Clock& clock, QWidget* parent = nullptr);

    // "Good morning" before noon, "Good afternoon" until five, then "Good evening".
    static QString greeting(int hour);

    QString greetingText() const;
    QList<MiniHistoryRow*> recentRows() const;
    bool recentSectionVisible() const;
    StatCard* card(int index) const { return m_cards[index]; }

public slots:
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    DataStore& m_store;
    const Clock& m_clock;
    StoreWatcher* m_watcher;
    ThemedLabel* m_greeting;
    StatCard* m_cards[4];
    QWidget* m_recentSection;
    QVBoxLayout* m_recentRows;
};

} // namespace quillo
