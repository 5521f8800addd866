#pragma once

#include <cstddef>
#include <memory>

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class QLineEdit;
class QListView;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace quillo {

class DataStore;
class HistoryListModel;
class HistoryRowDelegate;
class LatestJob;
class StoreWatcher;
class SymbolLabel;
class ThemedLabel;

// Every dictation, newest first, searchable, each with a Copy button; the
// whole history can be cleared after a confirmation.
//
// A short history is loaded and searched at once. A long one is loaded and
// searched on another thread, the list swapping to the result when it is
// ready, and not before the page is first shown; the GUI thread only swaps
// snapshots.
class HistoryView final : public QWidget
{
    Q_OBJECT

public:
    // Histories up to this many entries are handled on the GUI thread.
    static constexpr std::size_t kInlineEntries = 2000;

    explicit HistoryView(DataStore& store, QWidget* parent = nullptr);
    ~HistoryView() override;

    QString subtitle() const;
    QPushButton* clearAllButton() const { return m_clearAll; }
    QLineEdit* searchField() const { return m_search; }
    QToolButton* searchClearButton() const { return m_searchClear; }
    QListView* list() const { return m_list; }
    HistoryListModel* model() const { return m_model; }
    HistoryRowDelegate* delegate() const { return m_delegate; }
    // The confirmation while it is shown.
    QMessageBox* confirmation() const { return m_confirmation; }
    bool showsEmptyState() const;
    QString emptyTitle() const;
    bool emptyHintVisible() const;
    // A load or search is running on the other thread.
    bool isUpdating() const;

    // Puts `section` (the dictations not transcribed yet) at the top, under
    // the title; the view takes it over.
    void setTopSection(QWidget* section);

public slots:
    void refresh();
    void askToClear();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Result;
    // Brings the list up to the store (when it changed) and the search term.
    void catchUp();
    void present(Result result);
    void updateContent();

    DataStore& m_store;
    StoreWatcher* m_watcher;
    HistoryListModel* m_model;
    ThemedLabel* m_subtitle;
    QPushButton* m_clearAll;
    QLineEdit* m_search;
    QToolButton* m_searchClear;
    QStackedWidget* m_content;
    SymbolLabel* m_emptySymbol;
    ThemedLabel* m_emptyTitle;
    ThemedLabel* m_emptyHint;
    QListView* m_list;
    HistoryRowDelegate* m_delegate;
    QPointer<QMessageBox> m_confirmation;
    bool m_stale = false; // the store changed while the page was not shown
    // Store changes seen and the one the list shows.
    quint64 m_storeVersion = 1;
    quint64 m_shownVersion = 0;
    std::size_t m_totalWords = 0;
    std::unique_ptr<LatestJob> m_job;
};

} // namespace quillo
