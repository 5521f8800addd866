#include "ui/settings/InstructionsCard.h"

#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "platform/Preferences.h"
#include "settings/Settings.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

InstructionsCard::InstructionsCard(Preferences& preferences, QWidget* parent)
    : CardFrame(12, 3, parent), m_preferences(preferences), m_editor(new QPlainTextEdit)
{
    QVBoxLayout* layout = settings::cardLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    m_editor->setObjectName(QStringLiteral("cleanupInstructions"));
    m_editor->setAccessibleName(QStringLiteral("Custom cleanup instructions"));
    m_editor->setFont(theme::font(theme::captionSize));
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFixedHeight(110);
    m_editor->setTabChangesFocus(true);
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
        const std::string text = m_editor->toPlainText().toStdString();
        if (Settings(m_preferences).get(setting::cleanupInstructions) != text) {
            EditableSettings(m_preferences).set(setting::cleanupInstructions, text);
        }
    });
    layout->addWidget(m_editor);
}

void InstructionsCard::reload()
{
    const QString instructions = settings::qs(Settings(m_preferences).get(setting::cleanupInstructions));
    if (m_editor->toPlainText() != instructions) {
        const QSignalBlocker blocker(m_editor);
        m_editor->setPlainText(instructions);
    }
}

} // namespace quillo
