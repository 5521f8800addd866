#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "audio/MicrophoneManager.h"
#include "base/HotkeyAction.h"
#include "platform/Preferences.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/TranscriptionEngine.h"
#include "ui/settings/AboutCard.h"
#include "ui/settings/ApiKeysCard.h"
#include "ui/settings/EngineCard.h"
#include "ui/settings/GeneralCard.h"
#include "ui/settings/HotkeysCard.h"
#include "ui/settings/InstructionsCard.h"
#include "ui/settings/LanguagesCard.h"
#include "ui/settings/MicrophoneCard.h"
#include "ui/settings/PasteMethodsCard.h"
#include "ui/widgets/CoalescedCall.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QAbstractButton;

namespace quillo {

class Credentials;
class DataStore;
class LoginItem;
class StoreWatcher;
class ToggleSwitch;

// The Settings page: its cards stacked under their section headers, in one
// scrolling column.
//
// Stored settings are read from the preference store whenever they change and
// written on every edit. The hotkey lists and the language selection are
// working copies, reloaded each time the page is shown and written back
// through their owners.
class SettingsView final : public QWidget
{
    Q_OBJECT

public:
    struct Dependencies
    {
        Preferences& preferences;
        MicrophoneManager& microphones;
        DataStore& store;
        LoginItem& loginItem;
        const Credentials& credentials; // which engine will run depends on the keys
        std::string localModelName;     // the offline engine's model, for About
        PasteMethodsCard::LastPaste lastPaste;
        // The saved service keys and the check of one; no API keys card without them.
        ServiceKeyStore* serviceKeys = nullptr;
        ApiKeysCard::KeyCheck checkKey = {};
        OfflineWordsNote::UnknownWords unknownOfflineWords = {};
    };

    explicit SettingsView(Dependencies dependencies, QWidget* parent = nullptr);
    ~SettingsView() override;

    // The pieces a user acts on, for tests and accessibility tools.
    std::vector<ShortcutPill*> pills(HotkeyAction action) const { return m_hotkeysCard->pills(action); }
    QAbstractButton* addShortcutButton(HotkeyAction action) const { return m_hotkeysCard->addShortcutButton(action); }
    QLabel* duplicateWarning() const { return m_hotkeysCard->duplicateWarning(); }
    QLabel* languagesLabel() const { return m_languagesCard->languagesLabel(); }
    QAbstractButton* changeLanguagesButton() const { return m_languagesCard->changeLanguagesButton(); }
    QComboBox* microphonePicker() const { return m_microphoneCard->picker(); }
    QComboBox* enginePicker() const { return m_engineCard->enginePicker(); }
    ToggleSwitch* streamingSwitch() const { return m_engineCard->streamingSwitch(); }
    QWidget* deepgramWarning() const { return m_engineCard->deepgramWarning(); }
    QLabel* engineStatus() const { return m_engineCard->engineStatus(); }
    QPlainTextEdit* instructionsEditor() const { return m_instructionsCard->editor(); }
    ToggleSwitch* launchAtLoginSwitch() const { return m_generalCard->launchAtLoginSwitch(); }
    QLabel* aboutValue(const QString& label) const { return m_aboutCard->value(label); }
    std::optional<HotkeyAction> capturingFor() const { return m_hotkeysCard->capturingFor(); }
    QWidget* captureOverlay() const { return m_hotkeysCard->captureOverlay(); }
    QWidget* languagePicker() const { return m_languagesCard->languagePicker(); }
    PasteMethodsCard* pasteMethods() const { return m_pasteMethods; }
    ApiKeysCard* apiKeys() const { return m_apiKeysCard; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reloadWorkingCopies();
    void reloadStoredPreferences();
    void refreshTotal();

    Preferences& m_preferences;
    MicrophoneManager& m_microphones;
    DataStore& m_store;

    HotkeysCard* m_hotkeysCard;
    LanguagesCard* m_languagesCard;
    MicrophoneCard* m_microphoneCard;
    EngineCard* m_engineCard;
    ApiKeysCard* m_apiKeysCard = nullptr;
    InstructionsCard* m_instructionsCard;
    PasteMethodsCard* m_pasteMethods;
    GeneralCard* m_generalCard;
    AboutCard* m_aboutCard;
    StoreWatcher* m_storeWatcher;

    // Observer calls arrive on any thread; each burst becomes one reload on
    // the GUI thread.
    Preferences::ObserverToken m_preferencesToken = 0;
    CoalescedCall m_reload{this, [this] { reloadStoredPreferences(); }};
};

} // namespace quillo
