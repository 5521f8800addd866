#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

class QAbstractButton;
class QLineEdit;
class QStackedWidget;
class QVBoxLayout;

namespace quillo {

class DataStore;
class PillButton;
class StoreWatcher;

// One word of the custom dictionary; a Remove button appears while the
// pointer is over the row.
class DictionaryWordRow final : public QWidget
{
    Q_OBJECT

public:
    DictionaryWordRow(const QString& word, std::function<void()> onDelete, QWidget* parent = nullptr);

    QString word() const { return m_word; }
    bool isHovered() const { return m_hovered; }
    QAbstractButton* removeButton() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovered(bool hovered);

    QString m_word;
    PillButton* m_remove;
    bool m_hovered = false;
};

// The words the clean-up must spell exactly as written: a field to add one,
// and the list in the order they were added.
class DictionaryView final : public QWidget
{
    Q_OBJECT

public:
    explicit DictionaryView(DataStore& store, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QAbstractButton* addButton() const;
    bool showsEmptyState() const;
    std::vector<DictionaryWordRow*> rows() const;

public slots:
    // Hands the field's text to the store (which trims it and refuses blanks
    // and duplicates), then empties the field and keeps it focused.
    void addWord();
    void refresh();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    DataStore& m_store;
    StoreWatcher* m_watcher;
    QLineEdit* m_field;
    PillButton* m_add;
    QStackedWidget* m_content;
    QWidget* m_listBody;
    QVBoxLayout* m_listLayout;
    std::vector<std::string> m_shownWords;
};

} // namespace quillo
