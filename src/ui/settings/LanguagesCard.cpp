#include "ui/settings/LanguagesCard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/settings/LanguagePickerModal.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

using namespace settings;

LanguagesCard::LanguagesCard(Preferences& preferences, QWidget* parent)
    : CardFrame(12, 3, parent), m_preferences(preferences), m_selectedCodes(QuilloLanguage::enabled(m_preferences))
{
    QVBoxLayout* layout = cardLayout(this);
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(rowTitle(QStringLiteral("Dictation Languages")));
    m_languages = rowDescription(QString());
    m_languages->setObjectName(QStringLiteral("selectedLanguages"));
    text->addWidget(m_languages);
    row->addLayout(text, 1);
    auto* change = new PillButton(QStringLiteral("Change"), PillButton::Kind::neutral);
    change->setFont(theme::font(theme::captionSize, QFont::Medium));
    m_changeLanguages = change;
    m_changeLanguages->setAccessibleName(QStringLiteral("Change dictation languages"));
    connect(m_changeLanguages, &QAbstractButton::clicked, this, &LanguagesCard::changeLanguages);
    row->addWidget(m_changeLanguages, 0, Qt::AlignVCenter);
    layout->addLayout(row);
}

QString LanguagesCard::languagesText(const LanguageSet& codes)
{
    QStringList names;
    for (const QuilloLanguage& language : QuilloLanguage::all()) {
        if (!codes.contains(language.bcp47)) {
            continue;
        }
        names << (language.bcp47 == "en"
                      ? qs(language.displayName)
                      : qs(language.displayName) + QStringLiteral(" (") + qs(language.native) + QStringLiteral(")"));
    }
    return names.join(QStringLiteral(" · "));
}

void LanguagesCard::reload()
{
    m_selectedCodes = QuilloLanguage::enabled(m_preferences);
    m_languages->setText(languagesText(m_selectedCodes));
}

void LanguagesCard::changeLanguages()
{
    m_selectedCodes = QuilloLanguage::enabled(m_preferences);
    if (m_languagePicker) {
        return;
    }
    auto* picker = new LanguagePickerModal(m_preferences, window());
    m_languagePicker = picker;
    // Save has stored the languages and the streaming switch; Cancel stored
    // nothing. Either way the screen shows what the store now holds.
    connect(picker, &LanguagePickerModal::closed, this, [this] {
        reload();
        emit pickerClosed();
    });
    picker->show();
}

} // namespace quillo
