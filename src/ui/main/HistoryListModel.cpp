#include "ui/main/HistoryListModel.h"

#include "ui/widgets/DateText.h"

namespace quillo {

namespace {

QString folded(const DictationEntry& entry)
{
    return QString::fromStdString(entry.text()).toCaseFolded();
}

// The folded texts of `history`, taken from `previous` where `history` is
// `previousHistory` with entries added at the front (the only way a history
// grows).
HistoryListModel::Folded foldAll(const std::vector<DictationEntry>& history,
                                 const std::vector<DictationEntry>& previousHistory,
                                 const HistoryListModel::Folded& previous)
{
    const bool grewAtFront = previous && previous->size() == previousHistory.size() && !previousHistory.empty() &&
                             history.size() >= previousHistory.size() &&
                             history[history.size() - previousHistory.size()].id() == previousHistory.front().id() &&
                             history.back().id() == previousHistory.back().id();
    auto result = std::make_shared<std::vector<QString>>();
    result->reserve(history.size());
    const std::size_t fresh = grewAtFront ? history.size() - previousHistory.size() : history.size();
    for (std::size_t i = 0; i < fresh; ++i) {
        result->push_back(folded(history[i]));
    }
    if (grewAtFront) {
        result->insert(result->end(), previous->begin(), previous->end()); // QStrings share their text
    }
    return result;
}

} // namespace

HistoryListModel::Content HistoryListModel::makeContent(History history, const QString& term, const Content& previous)
{
    Content content;
    content.filter = term;
    if (history == previous.history) {
        content.folded = previous.folded;
    } else if (previous.folded) {
        // Once searched, keep the folded texts current so the next search
        // costs only the comparison.
        content.folded = foldAll(*history, *previous.history, previous.folded);
    }
    content.history = std::move(history);
    if (term.isEmpty()) {
        return content;
    }
    if (!content.folded) {
        content.folded = foldAll(*content.history, {}, nullptr);
    }
    const QString needle = term.toCaseFolded();
    const std::vector<QString>& texts = *content.folded;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].contains(needle)) {
            content.rows.push_back(static_cast<int>(i));
        }
    }
    return content;
}

HistoryListModel::HistoryListModel(QObject* parent) : QAbstractListModel(parent) {}

void HistoryListModel::setContent(Content content)
{
    beginResetModel();
    m_content = std::move(content);
    endResetModel();
}

void HistoryListModel::setHistory(std::vector<DictationEntry> history)
{
    setContent(makeContent(std::make_shared<const std::vector<DictationEntry>>(std::move(history)),
                           m_content.filter,
                           m_content));
}

void HistoryListModel::setFilter(const QString& term)
{
    if (term != m_content.filter) {
        setContent(makeContent(m_content.history, term, m_content));
    }
}

const DictationEntry& HistoryListModel::entryAt(int row) const
{
    const int position = m_content.filter.isEmpty() ? row : m_content.rows[static_cast<std::size_t>(row)];
    return (*m_content.history)[static_cast<std::size_t>(position)];
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(m_content.filter.isEmpty() ? m_content.history->size() : m_content.rows.size());
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
