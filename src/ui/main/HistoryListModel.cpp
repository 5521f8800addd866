#include "ui/main/HistoryListModel.h"

#include <iterator>

#include "ui/main/DateText.h"

namespace quillo {

HistoryListModel::HistoryListModel(QObject* parent) : QAbstractListModel(parent) {}

void HistoryListModel::setHistory(std::vector<DictationEntry> history)
{
    beginResetModel();
    // A new dictation only adds entries at the front: keep the folded texts
    // of the rest instead of folding the whole history again.
    std::vector<QString> folded;
    const bool grewAtFront = !m_history.empty() && m_folded.size() == m_history.size() &&
                             history.size() >= m_history.size() &&
                             history[history.size() - m_history.size()].id() == m_history.front().id() &&
                             history.back().id() == m_history.back().id();
    if (grewAtFront) {
        const std::size_t added = history.size() - m_history.size();
        folded.reserve(history.size());
        for (std::size_t i = 0; i < added; ++i) {
            folded.push_back(QString::fromStdString(history[i].text()).toCaseFolded());
        }
        std::move(m_folded.begin(), m_folded.end(), std::back_inserter(folded));
    }
    m_history = std::move(history);
    m_folded = std::move(folded);
    applyFilter();
    endResetModel();
}

void HistoryListModel::setFilter(const QString& term)
{
    if (term == m_filter) {
        return;
    }
    beginResetModel();
    m_filter = term;
    applyFilter();
    endResetModel();
}

void HistoryListModel::applyFilter()
{
    m_rows.clear();
    if (m_filter.isEmpty()) {
        return;
    }
    if (m_folded.size() != m_history.size()) {
        m_folded.clear();
        m_folded.reserve(m_history.size());
        for (const DictationEntry& entry : m_history) {
            m_folded.push_back(QString::fromStdString(entry.text()).toCaseFolded());
        }
    }
    const QString needle = m_filter.toCaseFolded();
    for (std::size_t i = 0; i < m_folded.size(); ++i) {
        if (m_folded[i].contains(needle)) {
            m_rows.push_back(static_cast<int>(i));
        }
    }
}

const DictationEntry& HistoryListModel::entryAt(int row) const
{
    const int position = m_filter.isEmpty() ? row : m_rows[static_cast<std::size_t>(row)];
    return m_history[static_cast<std::size_t>(position)];
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(m_filter.isEmpty() ? m_history.size() : m_rows.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) {
        return {};
    }
    const DictationEntry& entry = entryAt(index.row());
    switch (role) {
    case TextRole:
        return QString::fromStdString(entry.text());
    case IdRole:
        return QString::fromStdString(entry.id());
    case DateTextRole:
        return datetext::dateAndTime(entry.time());
    case WordCountRole:
        return static_cast<qulonglong>(entry.wordCount());
    default:
        return {};
    }
}

} // namespace quillo
