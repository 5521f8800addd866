#pragma once

#include <memory>
#include <vector>

#include <QAbstractListModel>

#include "base/DictationEntry.h"

namespace quillo {

// The history (newest first) as a list model, narrowed by a search term.
// Shows one immutable snapshot of the store's list, so a snapshot and its
// search can be prepared on another thread and swapped in whole.
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

    using History = std::shared_ptr<const std::vector<DictationEntry>>;
    using Folded = std::shared_ptr<const std::vector<QString>>;

    // What the list shows.
    struct Content
    {
        History history = std::make_shared<const std::vector<DictationEntry>>();
        // The case-folded texts, parallel to `history`; made by the first
        // search and carried on from snapshot to snapshot.
        Folded folded;
        QString filter;
        std::vector<int> rows; // positions in `history` shown while filtering
    };

    // The content for `history` searched for `term` (an empty term, not
    // trimmed, keeps all; otherwise the texts that contain it, ignoring
    // case). Folds only the texts `previous` has not folded yet: a new
    // dictation costs one text, not the whole history. Safe on any thread.
    static Content makeContent(History history, const QString& term, const Content& previous);

    explicit HistoryListModel(QObject* parent = nullptr);

    void setContent(Content content);
    const Content& content() const { return m_content; }
    void setHistory(std::vector<DictationEntry> history);
    void setFilter(const QString& term);
    QString filter() const { return m_content.filter; }
    std::size_t totalCount() const { return m_content.history->size(); }
    const DictationEntry& entryAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    Content m_content;
};

} // namespace quillo
