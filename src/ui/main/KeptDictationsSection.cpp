#include "ui/main/KeptDictationsSection.h"

#include <ctime>

#include <QCoreApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/DictationEntry.h"
#include "store/KeptDictations.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/ConfirmDestructive.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {

QPushButton* smallButton(const QString& text, const char* name, const QString& style)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(theme::font(theme::captionSize, QFont::Medium));
    button->setStyleSheet(style);
    return button;
}

const QString kPlainStyle = QStringLiteral("QPushButton { border: none; border-radius: 7px; padding: 6px 12px;"
                                           " background: rgba(128, 128, 128, 36); }"
                                           "QPushButton:disabled { color: rgba(128, 128, 128, 160); }");
const QString kDangerStyle =
    QStringLiteral("QPushButton { color: rgba(220, 38, 38, 204); background: rgba(220, 38, 38, 20);"
                   " border: none; border-radius: 7px; padding: 6px 12px; }"
                   "QPushButton:disabled { color: rgba(128, 128, 128, 160); }");

QString describe(const KeptDictation& kept)
{
    const auto time = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(kept.date) + kReferenceDateUnixSeconds);
    QString text = QLocale().toString(time, QLocale::ShortFormat);
    if (kept.duration > 0) {
        text += QStringLiteral(" \u00B7 %1 s").arg(kept.duration, 0, 'f', 1);
    }
    if (kept.appName && !kept.appName->empty()) {
        text += QStringLiteral(" \u00B7 ") + QString::fromStdString(*kept.appName);
    }
    return text;
}

} // namespace

KeptDictationsSection::KeptDictationsSection(KeptDictationStore& store, Action retry, Action remove, QWidget* parent)
    : QWidget(parent), m_store(store), m_retry(std::move(retry)), m_remove(std::move(remove))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(40, 0, 40, 18);
    auto* card = new CardFrame(12, 2);
    outer->addWidget(card);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);

    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(new ThemedLabel(QStringLiteral("Not transcribed yet"),
                                      ThemedLabel::Role::primary,
                                      theme::font(theme::bodySize, QFont::DemiBold)));
    auto* note = new ThemedLabel(
        QStringLiteral("These recordings could not be transcribed. They are kept for %1 days, then removed; a "
                       "retry copies the text to the clipboard and adds it to the history.")
            .arg(KeptDictationStore::kKeepDays),
        ThemedLabel::Role::secondary,
        theme::font(theme::captionSize));
    note->setObjectName(QStringLiteral("keptNote"));
    note->setWordWrap(true);
    titles->addWidget(note);
    header->addLayout(titles, 1);
    m_deleteAll = smallButton(QStringLiteral("Delete All"), "deleteAllKept", kDangerStyle);
    header->addWidget(m_deleteAll, 0, Qt::AlignTop);
    layout->addLayout(header);

    m_rows = new QVBoxLayout;
    m_rows->setSpacing(8);
    layout->addLayout(m_rows);

    connect(m_deleteAll, &QPushButton::clicked, this, &KeptDictationsSection::askToDeleteAll);
    // The store tells of changes on whichever thread made them.
    QPointer<KeptDictationsSection> self(this);
    m_observer = m_store.addObserver([self] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self) {
                    self->refresh();
                }
            },
            Qt::QueuedConnection);
    });
    refresh();
}

KeptDictationsSection::~KeptDictationsSection()
{
    m_store.removeObserver(m_observer);
}

void KeptDictationsSection::refresh()
{
    for (QWidget* row : m_rowWidgets) {
        delete row;
    }
    m_rowWidgets.clear();
    m_ids.clear();
    for (const auto& kept : m_store.list()) {
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(10);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        texts->addWidget(new ThemedLabel(describe(kept), ThemedLabel::Role::tertiary, theme::font(theme::captionSize)));
        auto* error = new ThemedLabel(QString::fromStdString(kept.error),
                                      ThemedLabel::Role::secondary,
                                      theme::font(theme::bodySize));
        error->setWordWrap(true);
        error->setTextFormat(Qt::PlainText);
        texts->addWidget(error);
        line->addLayout(texts, 1);
        auto* retryButton = smallButton(QStringLiteral("Retry"), "retryKept", kPlainStyle);
        auto* deleteButton = smallButton(QStringLiteral("Delete"), "deleteKept", kDangerStyle);
        line->addWidget(retryButton, 0, Qt::AlignVCenter);
        line->addWidget(deleteButton, 0, Qt::AlignVCenter);
        connect(retryButton, &QPushButton::clicked, this, [this, id = kept.id, retryButton, deleteButton] {
            // Until the outcome rebuilds the list.
            retryButton->setEnabled(false);
            retryButton->setText(QStringLiteral("Retrying\u2026"));
            deleteButton->setEnabled(false);
            m_retry(id);
        });
        connect(deleteButton, &QPushButton::clicked, this, [this, id = kept.id] { m_remove(id); });
        m_rows->addWidget(row);
        m_rowWidgets.push_back(row);
        m_ids.push_back(kept.id);
    }
    setVisible(!m_ids.empty());
}

QPushButton* KeptDictationsSection::button(int row, const char* name) const
{
    if (row < 0 || row >= rowCount()) {
        return nullptr;
    }
    return m_rowWidgets[static_cast<std::size_t>(row)]->findChild<QPushButton*>(QString::fromLatin1(name));
}

QPushButton* KeptDictationsSection::retryButton(int row) const
{
    return button(row, "retryKept");
}

QPushButton* KeptDictationsSection::deleteButton(int row) const
{
    return button(row, "deleteKept");
}

void KeptDictationsSection::askToDeleteAll()
{
    if (m_confirmation) {
        return;
    }
    m_confirmation = askToConfirm(this,
                                  {QStringLiteral("Delete all kept dictations?"),
                                   QStringLiteral("Their recordings are deleted and cannot be transcribed any more."),
                                   QStringLiteral("Delete All"),
                                   QStringLiteral("confirmDeleteAll"),
                                   QString()},
                                  [this] {
                                      for (const auto& id : m_ids) {
                                          m_remove(id);
                                      }
                                  });
}

} // namespace quillo
