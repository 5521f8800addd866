#pragma once

#include "transcription/QuilloLanguage.h"
#include "ui/settings/OfflineWordsNote.h"
#include "ui/widgets/CardFrame.h"

class QComboBox;
class QLabel;

namespace quillo {

class Credentials;
class Preferences;
class ToggleSwitch;

// The engine picker with a line saying which engine will actually run, the
// streaming switch, and a warning when Deepgram is chosen for more than
// English.
class EngineCard final : public CardFrame
{
    Q_OBJECT

public:
    EngineCard(Preferences& preferences,
               const Credentials& credentials,
               DataStore& store,
               OfflineWordsNote::UnknownWords unknownOfflineWords,
               QWidget* parent = nullptr);

    // Shows the stored choices for the selected languages.
    void reload(const LanguageSet& selectedCodes);

    QComboBox* enginePicker() const { return m_enginePicker; }
    ToggleSwitch* streamingSwitch() const { return m_streamingSwitch; }
    QWidget* deepgramWarning() const { return m_deepgramWarning; }
    // Which engine will actually run for the languages and keys, and whether
    // words leave the computer.
    QLabel* engineStatus() const { return m_engineStatus; }

signals:
    void engineChosen();

private:
    Preferences& m_preferences;
    const Credentials& m_credentials; // which engine will run depends on the keys
    QComboBox* m_enginePicker = nullptr;
    QLabel* m_engineStatus = nullptr;
    ToggleSwitch* m_streamingSwitch = nullptr;
    QWidget* m_deepgramWarning = nullptr;
};

} // namespace quillo
