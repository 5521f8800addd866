#include "ui/settings/PasteMethodsCard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Preferences.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/PickerBox.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

PasteMethodsCard::PasteMethodsCard(Preferences& preferences, LastPaste lastPaste, QWidget* parent)
    : QWidget(parent), m_preferences(preferences), m_lastPaste(std::move(lastPaste))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(new ThemedLabel(QStringLiteral("Paste method by application"),
                                      ThemedLabel::Role::primary,
                                      theme::font(theme::bodySize, QFont::Medium)));
    auto* description = new ThemedLabel(QStringLiteral("Quillo pastes with Ctrl+V, and with Ctrl+Shift+V in terminals. "
                                                       "Choose another way for an application that does not take it."),
                                        ThemedLabel::Role::secondary,
                                        theme::font(theme::captionSize));
    description->setWordWrap(true);
    layout->addWidget(description);

    m_hint = new QLabel;
    m_hint->setObjectName(QStringLiteral("pasteMethodHint"));
    m_hint->setWordWrap(true);
    m_hint->setFont(theme::font(theme::captionSize));
    m_hint->setStyleSheet(QStringLiteral("color: orange;"));
    layout->addWidget(m_hint);

    m_rows = new QVBoxLayout;
    m_rows->setSpacing(6);
    layout->addLayout(m_rows);
    m_empty = new ThemedLabel(QStringLiteral("No application has a method of its own."),
                              ThemedLabel::Role::tertiary,
                              theme::font(theme::captionSize));
    layout->addWidget(m_empty);

    m_addLast = settings::accentButton(QString(), {"list-add-symbolic"});
    m_addLast->setObjectName(QStringLiteral("addLastApplication"));
    connect(m_addLast, &PillButton::clicked, this, [this] {
        if (m_lastApplication) {
            PasteMethodTable::setOverride(m_preferences, *m_lastApplication, defaultPasteMethod(*m_lastApplication));
            reload();
        }
    });
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(m_addLast);
    addRow->addStretch(1);
    layout->addLayout(addRow);
    reload();
}

void PasteMethodsCard::reload()
{
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->deleteLater();
        }
        delete item;
    }
    const auto table = PasteMethodTable::overrides(m_preferences);
    for (const auto& [application, method] : table) {
        addRow(application, method);
    }
    m_empty->setVisible(table.empty());

    const std::optional<PasteReport> last = m_lastPaste ? m_lastPaste() : std::nullopt;
    m_lastApplication = last ? last->applicationID : std::nullopt;
    const QString name = last ? text(last->applicationName.value_or(last->applicationID.value_or(""))) : QString();
    const bool failed = last && last->outcome == DeliveryOutcome::notDelivered;
    m_hint->setText(
        failed ? QStringLiteral("Pasting into %1 didn't work last time. Choose another paste method for it.").arg(name)
               : QString());
    m_hint->setVisible(failed);
    m_addLast->setText(QStringLiteral("Add %1").arg(name));
    m_addLast->setVisible(m_lastApplication && !table.contains(*m_lastApplication));
}

void PasteMethodsCard::addRow(const std::string& applicationID, PasteMethod method)
{
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(new ThemedLabel(text(applicationID),
                                    ThemedLabel::Role::primary,
                                    theme::font(theme::captionSize, QFont::Medium)));
    line->addStretch(1);

    auto* picker = new PickerBox;
    picker->setFont(theme::font(theme::captionSize));
    picker->setAccessibleName(text(applicationID));
    for (const PasteMethod option : allPasteMethods()) {
        picker->addItem(text(displayName(option)), static_cast<int>(option));
    }
    picker->setCurrentIndex(picker->findData(static_cast<int>(method)));
    connect(picker, &QComboBox::activated, this, [this, picker, applicationID] {
        PasteMethodTable::setOverride(m_preferences,
                                      applicationID,
                                      static_cast<PasteMethod>(picker->currentData().toInt()));
    });
    line->addWidget(picker);

    auto* remove = new QToolButton;
    remove->setText(QStringLiteral("\u00D7"));
    remove->setToolTip(QStringLiteral("Use the usual method again"));
    remove->setAccessibleName(
        QStringLiteral("Use the usual method again for %1").arg(QString::fromStdString(applicationID)));
    remove->setAutoRaise(true);
    connect(remove, &QToolButton::clicked, this, [this, applicationID] {
        PasteMethodTable::setOverride(m_preferences, applicationID, std::nullopt);
        reload();
    });
    line->addWidget(remove);
    m_rows->addWidget(row);
}

} // namespace quillo
