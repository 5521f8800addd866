#pragma once

#include <memory>
#include <vector>

#include <QAbstractListModel>

#include "store/DictationEntry.h"

namespace quillo {

// The history (newest first) as a list model, narrowed by a search term.
// Holds one snapshot of the store's list; the text is converted and
// case-folded only when a search first needs it.
class HistoryListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        TextRole = Qt::DisplayRole,
        IdRole = Qt::UserRole + 1,
        DateTextRole,
        WordCountRole,
    };

    explicit HistoryListModel(QObject* parent = nullptr);

    void setHistory(std::vector<DictationEntry> history);
    // Keeps the entries whose text contains `term`, ignoring case; an empty
    // term (not trimmed) keeps all.
    void setFilter(const QString& term);
    QString filter() const { return m_filter; }
    std::size_t totalCount() const { return m_history.size(); }
    const DictationEntry& entryAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void applyFilter();

    std::vector<DictationEntry> m_history;
    mutable std::vector<QString> m_folded; // case-folded texts, built on the first search
    QString m_filter;
    std::vector<int> m_rows; // positions in m_history shown while filtering
};

} // namespace quillo
