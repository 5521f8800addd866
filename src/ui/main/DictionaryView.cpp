#include "ui/main/DictionaryView.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>

#include "store/DataStore.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/StoreWatcher.h"
#include "ui/widgets/TextTrim.h"

namespace quillo {

namespace {
constexpr std::initializer_list<const char*> kBookIcon = {"accessories-dictionary-symbolic", "accessories-dictionary"};
constexpr std::initializer_list<const char*> kWordIcon = {"format-text-plaintext-symbolic", "font-x-generic-symbolic"};
constexpr std::initializer_list<const char*> kTrashIcon = {"user-trash-symbolic", "edit-delete-symbolic"};
} // namespace

DictionaryWordRow::DictionaryWordRow(const QString& word, std::function<void()> onDelete, QWidget* parent)
    : QWidget(parent), m_word(word)
{
    setAttribute(Qt::WA_Hover);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(8);
    auto* symbolSlot = new QWidget;
    symbolSlot->setFixedWidth(24);
    auto* slotLayout = new QHBoxLayout(symbolSlot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    slotLayout->addWidget(new SymbolLabel(kWordIcon, SymbolLabel::Tint::accent, theme::captionSize),
                          0,
                          Qt::AlignCenter);
    layout->addWidget(symbolSlot);
    auto* text = new ThemedLabel(word, ThemedLabel::Role::primary, theme::font(theme::bodySize));
    text->setObjectName(QStringLiteral("word"));
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text, 1);

    m_remove = new PillButton(QStringLiteral("Remove"), PillButton::Kind::destructive, kTrashIcon);
    m_remove->setObjectName(QStringLiteral("remove"));
    m_remove->setFont(theme::font(theme::captionSize, QFont::Medium));
    m_remove->setPadding(5, 10);
    m_remove->setFocusPolicy(Qt::NoFocus);
    QSizePolicy policy = m_remove->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_remove->setSizePolicy(policy);
    m_remove->hide();
    layout->addWidget(m_remove);
    connect(m_remove, &PillButton::clicked, this, [onDelete = std::move(onDelete)] { onDelete(); });
}

QAbstractButton* DictionaryWordRow::removeButton() const
{
    return m_remove;
}

void DictionaryWordRow::paintEvent(QPaintEvent*)
{
    if (!m_hovered) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme::rowHover(palette()));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
}

void DictionaryWordRow::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void DictionaryWordRow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
}

void DictionaryWordRow::setHovered(bool hovered)
{
    if (hovered == m_hovered) {
        return;
    }
    m_hovered = hovered;
    fadeWidget(m_remove, hovered);
    update();
}

DictionaryView::DictionaryView(DataStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_watcher(new StoreWatcher(store, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(40, 36, 40, 22);
    header->setSpacing(5);
    header->addWidget(new ThemedLabel(QStringLiteral("Dictionary"),
                                      ThemedLabel::Role::primary,
                                      theme::font(theme::pageTitleSize, QFont::Bold)));
    auto* subtitle =
        new ThemedLabel(QStringLiteral("Custom words the AI will always spell and preserve exactly as written."),
                        ThemedLabel::Role::secondary,
                        theme::font(theme::captionSize));
    subtitle->setWordWrap(true);
    header->addWidget(subtitle);
    layout->addLayout(header);

    auto* inputRow = new QHBoxLayout;
    inputRow->setContentsMargins(40, 0, 40, 16);
    inputRow->setSpacing(12);
    auto* fieldBox = new CardFrame(9, 0);
    auto* fieldLayout = new QHBoxLayout(fieldBox);
    fieldLayout->setContentsMargins(14, 9, 14, 11);
    m_field = new QLineEdit;
    m_field->setObjectName(QStringLiteral("newWord"));
    m_field->setPlaceholderText(QStringLiteral("Add a word or phrase\u2026"));
    m_field->setAccessibleName(QStringLiteral("New word or phrase"));
    m_field->setFrame(false);
    m_field->setFont(theme::font(theme::bodySize));
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    fieldLayout->addWidget(m_field);
    inputRow->addWidget(fieldBox, 1);
    m_add = new PillButton(QStringLiteral("Add"), PillButton::Kind::prominent);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setFont(theme::font(theme::captionSize, QFont::DemiBold));
    m_add->setPadding(9, 18);
    m_add->setEnabled(false);
    // As tall as the field's card, which keeps two pixels below for its shadow.
    m_add->setFixedHeight(fieldBox->sizeHint().height() - 2);
    inputRow->addWidget(m_add, 0, Qt::AlignTop);
    layout->addLayout(inputRow);

    m_content = new QStackedWidget;
    auto* empty = new QWidget;
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setSpacing(12);
    emptyLayout->addStretch(1);
    emptyLayout->addWidget(new SymbolLabel(kBookIcon, SymbolLabel::Tint::tertiary, 40), 0, Qt::AlignHCenter);
    emptyLayout->addWidget(new ThemedLabel(QStringLiteral("No custom words yet"),
                                           ThemedLabel::Role::secondary,
                                           theme::font(theme::bodySize, QFont::Medium)),
                           0,
                           Qt::AlignHCenter);
    auto* hint = new ThemedLabel(
        QStringLiteral("Add technical terms, names, or unusual spellings\nthe AI should always keep as-is."),
        ThemedLabel::Role::tertiary,
        theme::font(theme::captionSize));
    hint->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(hint, 0, Qt::AlignHCenter);
    emptyLayout->addStretch(2);
    m_content->addWidget(empty);

    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("wordList"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setBackgroundRole(QPalette::Window);
    scroll->viewport()->setBackgroundRole(QPalette::Window);
    m_listBody = new QWidget;
    m_listBody->setAutoFillBackground(false);
    m_listLayout = new QVBoxLayout(m_listBody);
    m_listLayout->setContentsMargins(40, 4, 40, 24);
    m_listLayout->setSpacing(2);
    m_listLayout->addStretch(1);
    scroll->setWidget(m_listBody);
    m_content->addWidget(scroll);
    layout->addWidget(m_content, 1);

    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_add->setEnabled(!trimSpacesAndTabs(text).isEmpty());
    });
    // Return adds too, even a blank text: the store ignores it and the field
    // is cleared either way.
    connect(m_field, &QLineEdit::returnPressed, this, &DictionaryView::addWord);
    connect(m_add, &PillButton::clicked, this, &DictionaryView::addWord);
    connect(m_watcher, &StoreWatcher::changed, this, &DictionaryView::refresh);
    refresh();
}

QAbstractButton* DictionaryView::addButton() const
{
    return m_add;
}

void DictionaryView::addWord()
{
    m_store.addWord(m_field->text().toStdString());
    m_field->clear();
    m_field->setFocus(Qt::OtherFocusReason);
    refresh();
}

void DictionaryView::refresh()
{
    std::vector<std::string> words = m_store.dictionaryWords();
    // The watcher reports every list of the store; a history change must not
    // rebuild these rows under the pointer.
    if (words == m_shownWords && m_content->currentIndex() == (words.empty() ? 0 : 1)) {
        return;
    }
    m_shownWords = std::move(words);
    while (m_listLayout->count() > 1) {
        QLayoutItem* item = m_listLayout->takeAt(0);
        // Later: the row's own Remove button may be what led here.
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    for (std::size_t position = 0; position < m_shownWords.size(); ++position) {
        auto* row = new DictionaryWordRow(QString::fromStdString(m_shownWords[position]), [this, position] {
            m_store.removeWord({position});
            refresh();
        });
        m_listLayout->insertWidget(static_cast<int>(position), row);
    }
    m_content->setCurrentIndex(m_shownWords.empty() ? 0 : 1);
}

void DictionaryView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Leaving the screen drops a half-typed word; minimising the window does not.
    if (!event->spontaneous()) {
        m_field->clear();
    }
}

bool DictionaryView::showsEmptyState() const
{
    return m_content->currentIndex() == 0;
}

std::vector<DictionaryWordRow*> DictionaryView::rows() const
{
    std::vector<DictionaryWordRow*> rows;
    for (int i = 0; i < m_listLayout->count(); ++i) {
        if (auto* row = qobject_cast<DictionaryWordRow*>(m_listLayout->itemAt(i)->widget())) {
            rows.push_back(row);
        }
    }
    return rows;
}

} // namespace quillo
