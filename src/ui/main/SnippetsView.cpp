#include "ui/main/SnippetsView.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QStackedWidget>

#include "store/DataStore.h"
#include "ui/main/MiniHistoryRow.h"
#include "ui/main/SnippetFormSheet.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/StoreWatcher.h"

namespace quillo {

namespace {
constexpr std::initializer_list<const char*> kSnippetIcon = {"insert-text-symbolic", "format-text-rich-symbolic"};
constexpr std::initializer_list<const char*> kPlusIcon = {"list-add-symbolic", "list-add"};
constexpr std::initializer_list<const char*> kPencilIcon = {"document-edit-symbolic", "text-editor-symbolic"};
constexpr std::initializer_list<const char*> kTrashIcon = {"user-trash-symbolic", "edit-delete-symbolic"};
} // namespace

SnippetRow::SnippetRow(const Snippet& snippet,
                       std::function<void()> onEdit,
                       std::function<void()> onDelete,
                       QWidget* parent)
    : CardFrame(12, 2, parent), m_snippet(snippet)
{
    setAttribute(Qt::WA_Hover);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 20);
    layout->setSpacing(7);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    // An opening quotation mark in the accent colour marks the trigger.
    auto* quote = new QLabel(QStringLiteral("\u201C"));
    quote->setFont(theme::font(26, QFont::Bold));
    quote->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(theme::accent().name()));
    quote->setFixedHeight(theme::captionSize + 6);
    quote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    top->addWidget(quote, 0, Qt::AlignTop);
    auto* trigger = new ThemedLabel(QString::fromStdString(snippet.trigger),
                                    ThemedLabel::Role::primary,
                                    theme::font(theme::captionSize, QFont::DemiBold));
    trigger->setObjectName(QStringLiteral("trigger"));
    trigger->setTextFormat(Qt::PlainText);
    top->addWidget(trigger, 1);

    m_actions = new QWidget;
    auto* actions = new QHBoxLayout(m_actions);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(8);
    m_edit = new PillButton(QStringLiteral("Edit"), PillButton::Kind::neutral, kPencilIcon);
    m_edit->setObjectName(QStringLiteral("edit"));
    m_delete = new PillButton(QStringLiteral("Delete"), PillButton::Kind::destructive, kTrashIcon);
    m_delete->setObjectName(QStringLiteral("delete"));
    for (PillButton* button : {m_edit, m_delete}) {
        button->setFont(theme::font(theme::captionSize, QFont::Medium));
        button->setPadding(6, 12);
        button->setFocusPolicy(Qt::NoFocus);
        actions->addWidget(button);
    }
    QSizePolicy policy = m_actions->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_actions->setSizePolicy(policy);
    m_actions->hide();
    top->addWidget(m_actions);
    layout->addLayout(top);

    auto* expansion = new ClampedText(QString::fromStdString(snippet.expansion), 3, 5);
    expansion->setObjectName(QStringLiteral("expansion"));
    expansion->setFont(theme::font(theme::bodySize));
    layout->addWidget(expansion);

    connect(m_edit, &PillButton::clicked, this, [onEdit = std::move(onEdit)] { onEdit(); });
    connect(m_delete, &PillButton::clicked, this, [onDelete = std::move(onDelete)] { onDelete(); });
}

QAbstractButton* SnippetRow::editButton() const
{
    return m_edit;
}

QAbstractButton* SnippetRow::deleteButton() const
{
    return m_delete;
}

void SnippetRow::enterEvent(QEnterEvent* event)
{
    CardFrame::enterEvent(event);
    setHovered(true);
}

void SnippetRow::leaveEvent(QEvent* event)
{
    CardFrame::leaveEvent(event);
    setHovered(false);
}

void SnippetRow::setHovered(bool hovered)
{
    if (hovered != m_hovered) {
        m_hovered = hovered;
        fadeWidget(m_actions, hovered);
    }
}

SnippetsView::SnippetsView(DataStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_watcher(new StoreWatcher(store, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(40, 36, 40, 22);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(5);
    titles->addWidget(new ThemedLabel(QStringLiteral("Snippets"),
                                      ThemedLabel::Role::primary,
                                      theme::font(theme::pageTitleSize, QFont::Bold)));
    auto* subtitle =
        new ThemedLabel(QStringLiteral("Dictate a trigger phrase to instantly paste a saved block of text."),
                        ThemedLabel::Role::secondary,
                        theme::font(theme::captionSize));
    subtitle->setWordWrap(true);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    m_new = new PillButton(QStringLiteral("New Snippet"), PillButton::Kind::prominent, kPlusIcon);
    m_new->setObjectName(QStringLiteral("newSnippet"));
    m_new->setFont(theme::font(theme::captionSize, QFont::DemiBold));
    m_new->setPadding(8, 14);
    header->addWidget(m_new, 0, Qt::AlignTop);
    layout->addLayout(header);

    m_content = new QStackedWidget;
    auto* empty = new QWidget;
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setSpacing(12);
    emptyLayout->addStretch(1);
    emptyLayout->addWidget(new SymbolLabel(kSnippetIcon, SymbolLabel::Tint::tertiary, 40), 0, Qt::AlignHCenter);
    emptyLayout->addWidget(new ThemedLabel(QStringLiteral("No snippets yet"),
                                           ThemedLabel::Role::secondary,
                                           theme::font(theme::bodySize, QFont::Medium)),
                           0,
                           Qt::AlignHCenter);
    auto* hint = new ThemedLabel(QStringLiteral("Create a snippet \u2014 say its trigger phrase while dictating\n"
                                                "and the full text will be pasted."),
                                 ThemedLabel::Role::tertiary,
                                 theme::font(theme::captionSize));
    hint->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(hint, 0, Qt::AlignHCenter);
    emptyLayout->addStretch(2);
    m_content->addWidget(empty);

    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("snippetList"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setBackgroundRole(QPalette::Window);
    scroll->viewport()->setBackgroundRole(QPalette::Window);
    auto* body = new QWidget;
    body->setAutoFillBackground(false);
    m_listLayout = new QVBoxLayout(body);
    m_listLayout->setContentsMargins(40, 4, 40, 28);
    m_listLayout->setSpacing(12);
    m_listLayout->addStretch(1);
    scroll->setWidget(body);
    m_content->addWidget(scroll);
    layout->addWidget(m_content, 1);

    connect(m_new, &PillButton::clicked, this, &SnippetsView::showAdd);
    connect(m_watcher, &StoreWatcher::changed, this, &SnippetsView::refresh);
    refresh();
}

QAbstractButton* SnippetsView::newSnippetButton() const
{
    return m_new;
}

void SnippetsView::showAdd()
{
    if (m_sheet) {
        return;
    }
    m_showingAdd = true;
    openSheet(QStringLiteral("New Snippet"), Snippet{});
}

void SnippetsView::edit(const Snippet& snippet)
{
    if (m_sheet) {
        return;
    }
    m_editingSnippet = snippet;
    openSheet(QStringLiteral("Edit Snippet"), snippet);
}

void SnippetsView::openSheet(const QString& title, const Snippet& start)
{
    const bool adding = m_showingAdd;
    auto onSave = [this, adding, id = start.id](const QString& trigger, const QString& expansion) {
        if (adding) {
            m_store.addSnippet(trigger.toStdString(), expansion.toStdString());
        } else {
            // Same id, so the snippet keeps its identity and its place.
            m_store.updateSnippet(Snippet{id, trigger.toStdString(), expansion.toStdString()});
        }
        refresh();
    };
    auto* sheet = new SnippetFormSheet(title,
                                       QString::fromStdString(start.trigger),
                                       QString::fromStdString(start.expansion),
                                       std::move(onSave),
                                       this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        m_showingAdd = false;
        m_editingSnippet.reset();
    });
    m_sheet = sheet;
    sheet->open();
}

void SnippetsView::remove(const QString& id)
{
    const std::vector<Snippet> snippets = m_store.snippets();
    const std::string wanted = id.toStdString();
    for (std::size_t position = 0; position < snippets.size(); ++position) {
        if (snippets[position].id == wanted) {
            m_store.removeSnippet({position});
            break;
        }
    }
    refresh();
}

void SnippetsView::refresh()
{
    std::vector<Snippet> snippets = m_store.snippets();
    // The watcher reports every list of the store; only a change of the
    // snippets rebuilds the cards.
    if (snippets == m_shown && m_content->currentIndex() == (snippets.empty() ? 0 : 1)) {
        return;
    }
    m_shown = std::move(snippets);
    while (m_listLayout->count() > 1) {
        QLayoutItem* item = m_listLayout->takeAt(0);
        // Later: the card's own Delete button may be what led here.
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    int index = 0;
    for (const Snippet& snippet : m_shown) {
        auto* row = new SnippetRow(
            snippet,
            [this, snippet] { edit(snippet); },
            [this, id = QString::fromStdString(snippet.id)] { remove(id); });
        m_listLayout->insertWidget(index++, row);
    }
    m_content->setCurrentIndex(m_shown.empty() ? 0 : 1);
}

bool SnippetsView::showsEmptyState() const
{
    return m_content->currentIndex() == 0;
}

std::vector<SnippetRow*> SnippetsView::rows() const
{
    std::vector<SnippetRow*> rows;
    for (int i = 0; i < m_listLayout->count(); ++i) {
        if (auto* row = qobject_cast<SnippetRow*>(m_listLayout->itemAt(i)->widget())) {
            rows.push_back(row);
        }
    }
    return rows;
}

} // namespace quillo
