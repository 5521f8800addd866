#include "ui/main/SnippetFormSheet.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ui/widgets/CardFrame.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/TextTrim.h"

namespace quillo {

namespace {
// A heading, the input under it and a hint under that.
QVBoxLayout* section(const QString& heading, QWidget* input, const QString& hint)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    column->addWidget(
        new ThemedLabel(heading, ThemedLabel::Role::primary, theme::font(theme::captionSize, QFont::DemiBold)));
    column->addWidget(input);
    auto* hintLabel = new ThemedLabel(hint, ThemedLabel::Role::tertiary, theme::font(theme::microSize));
    hintLabel->setWordWrap(true);
    column->addWidget(hintLabel);
    return column;
}
} // namespace

SnippetFormSheet::SnippetFormSheet(const QString& title,
                                   const QString& trigger,
                                   const QString& expansion,
                                   SaveAction onSave,
                                   QWidget* parent)
    : QDialog(parent), m_onSave(std::move(onSave))
{
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setFixedWidth(kWidth);

    // Both inputs share one rounded outline drawn in the palette's colours.
    const QPalette colours = palette();
    const QString inputStyle =
        QStringLiteral("%1 { background: %2; color: %3; border: 1px solid %4; border-radius: 7px; padding: %5; }"
                       "%1:focus { border: 1px solid %6; }");
    // A neutral focus outline: an accent-red one would read as an error.
    const QColor focusRing = theme::textTertiary(colours);
    const auto styled = [&](const char* type, const char* padding) {
        return inputStyle.arg(QLatin1String(type),
                              theme::cardBg(colours).name(QColor::HexArgb),
                              theme::textPrimary(colours).name(QColor::HexArgb),
                              theme::cardBorder(colours).name(QColor::HexArgb),
                              QLatin1String(padding),
                              focusRing.name(QColor::HexArgb));
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 36, 36, 36);
    layout->setSpacing(28);
    auto* heading = new ThemedLabel(title, ThemedLabel::Role::primary, theme::font(22, QFont::DemiBold));
    heading->setObjectName(QStringLiteral("title"));
    layout->addWidget(heading);

    m_trigger = new QLineEdit(trigger);
    m_trigger->setObjectName(QStringLiteral("trigger"));
    m_trigger->setPlaceholderText(QStringLiteral("e.g. my email address"));
    m_trigger->setFont(theme::font(theme::bodySize));
    m_trigger->setStyleSheet(styled("QLineEdit", "6px 8px"));
    layout->addLayout(section(QStringLiteral("Trigger Phrase"),
                              m_trigger,
                              QStringLiteral("Say this phrase exactly while dictating.")));

    m_expansion = new QPlainTextEdit(expansion);
    m_expansion->setObjectName(QStringLiteral("expansion"));
    m_expansion->setFont(theme::font(theme::bodySize));
    m_expansion->setFixedHeight(120);
    m_expansion->setTabChangesFocus(true);
    m_expansion->setStyleSheet(styled("QPlainTextEdit", "4px"));
    layout->addLayout(section(QStringLiteral("Expansion"),
                              m_expansion,
                              QStringLiteral("Full text that is pasted when the trigger is spoken.")));

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch(1);
    m_cancel = new PillButton(QStringLiteral("Cancel"), PillButton::Kind::neutral);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setFont(theme::font(theme::captionSize, QFont::Medium));
    m_cancel->setPadding(8, 16);
    buttons->addWidget(m_cancel);
    m_save = new PillButton(QStringLiteral("Save"), PillButton::Kind::prominent);
    m_save->setObjectName(QStringLiteral("save"));
    m_save->setFont(theme::font(theme::captionSize, QFont::DemiBold));
    m_save->setPadding(8, 20);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    const auto updateSave = [this] { m_save->setEnabled(canSave()); };
    connect(m_trigger, &QLineEdit::textChanged, this, updateSave);
    connect(m_expansion, &QPlainTextEdit::textChanged, this, updateSave);
    connect(m_cancel, &PillButton::clicked, this, &QDialog::reject);
    connect(m_save, &PillButton::clicked, this, &SnippetFormSheet::save);
    updateSave();
}

QString SnippetFormSheet::title() const
{
    return windowTitle();
}

QAbstractButton* SnippetFormSheet::saveButton() const
{
    return m_save;
}

QAbstractButton* SnippetFormSheet::cancelButton() const
{
    return m_cancel;
}

bool SnippetFormSheet::canSave() const
{
    // The expansion is checked as it will be stored: one made only of line
    // breaks would otherwise be saved as an empty text.
    return !trimSpacesAndTabs(m_trigger->text()).isEmpty() && !m_expansion->toPlainText().trimmed().isEmpty();
}

void SnippetFormSheet::save()
{
    if (!canSave()) {
        return;
    }
    m_onSave(trimSpacesAndTabs(m_trigger->text()), m_expansion->toPlainText().trimmed());
    accept();
}

} // namespace quillo
