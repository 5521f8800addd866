#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

class QMessageBox;
class QPushButton;
class QVBoxLayout;

namespace quillo {

class KeptDictationStore;

// History's "Not transcribed yet": the dictations kept because they could not
// be transcribed, oldest first, each with its time, length and error and a
// Retry and a Delete button, and a button that deletes them all after a
// confirmation. Hidden while there are none.
class KeptDictationsSection final : public QWidget
{
    Q_OBJECT

public:
    using Action = std::function<void(const std::string& id)>;

    // `store` must outlive the section; `retry` and `remove` get a kept id.
    KeptDictationsSection(KeptDictationStore& store, Action retry, Action remove, QWidget* parent = nullptr);
    ~KeptDictationsSection() override;

    int rowCount() const { return static_cast<int>(m_ids.size()); }
    QPushButton* retryButton(int row) const;
    QPushButton* deleteButton(int row) const;
    QPushButton* deleteAllButton() const { return m_deleteAll; }
    QMessageBox* confirmation() const { return m_confirmation; }

public slots:
    void refresh();
    void askToDeleteAll();

private:
    QPushButton* button(int row, const char* name) const;

    KeptDictationStore& m_store;
    Action m_retry;
    Action m_remove;
    QVBoxLayout* m_rows;
    QPushButton* m_deleteAll;
    std::vector<std::string> m_ids;
    std::vector<QWidget*> m_rowWidgets;
    QPointer<QMessageBox> m_confirmation;
    std::uint64_t m_observer = 0;
};

} // namespace quillo
