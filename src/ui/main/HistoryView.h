#pragma once

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
class StoreWatcher;
class SymbolLabel;
class ThemedLabel;

// Every dictation, newest first, searchable, each with a Copy button; the
// whole history can be cleared after a confirmation.
class HistoryView final : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(DataStore& store, QWidget* parent = nullptr);

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

public slots:
    void refresh();
    void askToClear();

protected:
    void showEvent(QShowEvent* event) override;

private:
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
};

} // namespace quillo
