#pragma once

#include <QPointer>

#include "transcription/QuilloLanguage.h"
#include "ui/widgets/CardFrame.h"

class QLabel;
class QAbstractButton;

namespace quillo {

class Preferences;

// The dictation languages in one line, and a button that opens the language
// picker over the whole window. The selection is a working copy of the stored one.
class LanguagesCard final : public CardFrame
{
    Q_OBJECT

public:
    explicit LanguagesCard(Preferences& preferences, QWidget* parent = nullptr);

    // "English · German (Deutsch)": the languages in catalogue order.
    static QString languagesText(const LanguageSet& codes);

    // Reads the stored selection again.
    void reload();
    const LanguageSet& selectedCodes() const { return m_selectedCodes; }

    QLabel* languagesLabel() const { return m_languages; }
    QAbstractButton* changeLanguagesButton() const { return m_changeLanguages; }
    QWidget* languagePicker() const { return m_languagePicker; }

signals:
    // The picker closed, saved or not; the store holds what is now chosen.
    void pickerClosed();

private:
    void changeLanguages();

    Preferences& m_preferences;
    LanguageSet m_selectedCodes;
    QPointer<QWidget> m_languagePicker;
    QLabel* m_languages = nullptr;
    QAbstractButton* m_changeLanguages = nullptr;
};

} // namespace quillo
