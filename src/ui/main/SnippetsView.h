#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "base/Snippet.h"
#include "ui/main/SnippetFormSheet.h"
#include "ui/widgets/CardFrame.h"

class QAbstractButton;
class QStackedWidget;
class QVBoxLayout;

namespace quillo {

class DataStore;
class PillButton;
class StoreWatcher;

// One snippet as a card: its trigger and the start of its expansion, with
// Edit and Delete shown while the pointer is over the card.
class SnippetRow final : public CardFrame
{
    Q_OBJECT

public:
    SnippetRow(const Snippet& snippet,
               std::function<void()> onEdit,
               std::function<void()> onDelete,
               QWidget* parent = nullptr);

    const Snippet& snippet() const { return m_snippet; }
    bool isHovered() const { return m_hovered; }
    QAbstractButton* editButton() const;
    QAbstractButton* deleteButton() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovered(bool hovered);

    Snippet m_snippet;
    QWidget* m_actions;
    PillButton* m_edit;
    PillButton* m_delete;
    bool m_hovered = false;
};

// The user's snippets in the order they were made; new ones and edits go
// through a SnippetFormSheet.
class SnippetsView final : public QWidget
{
    Q_OBJECT

public:
    explicit SnippetsView(DataStore& store, QWidget* parent = nullptr);

    QAbstractButton* newSnippetButton() const;
    bool showsEmptyState() const;
    std::vector<SnippetRow*> rows() const;
    // The open form, if any.
    SnippetFormSheet* sheet() const { return m_sheet; }
    bool showingAdd() const { return m_showingAdd; }
    const std::optional<Snippet>& editingSnippet() const { return m_editingSnippet; }

public slots:
    void showAdd();
    void edit(const quillo::Snippet& snippet);
    // Deletes the first snippet with this id, if it is still there.
    void remove(const QString& id);
    void refresh();

private:
    void openSheet(const QString& title, const Snippet& start);

    DataStore& m_store;
    StoreWatcher* m_watcher;
    PillButton* m_new;
    QStackedWidget* m_content;
    QVBoxLayout* m_listLayout;
    std::vector<Snippet> m_shown;
    bool m_showingAdd = false;
    std::optional<Snippet> m_editingSnippet;
    QPointer<SnippetFormSheet> m_sheet;
};

} // namespace quillo
