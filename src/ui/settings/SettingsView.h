#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "audio/MicrophoneManager.h"
#include "base/HotkeyAction.h"
#include "hotkeys/HotkeyBindings.h"
#include "hotkeys/HotkeyStore.h"
#include "platform/Preferences.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/TranscriptionEngine.h"
#include "ui/settings/OfflineWordsNote.h"
#include "ui/settings/PasteMethodsCard.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace quillo {

class Credentials;
class DataStore;
class FlowLayout;
class LoginItem;
class StoreWatcher;
class ToggleSwitch;

// One bound key of a hotkey row: its name on a keycap, and a remove button
// when the action has another key to fall back on.
class ShortcutPill final : public QWidget
{
    Q_OBJECT

public:
    ShortcutPill(int keyCode, bool canRemove, QWidget* parent = nullptr);

    int keyCode() const { return m_keyCode; }
    QString keyName() const;
    // Null when the key is the action's only one.
    QToolButton* removeButton() const { return m_remove; }

signals:
    void removeRequested(int keyCode);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_keyCode;
    QLabel* m_name;
    QToolButton* m_remove = nullptr;
};

// The Settings page: hotkeys, languages, microphone, engine and streaming,
// clean-up instructions, launch at login, and the About block.
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
        OfflineWordsNote::UnknownWords unknownOfflineWords = {};
    };

    explicit SettingsView(Dependencies dependencies, QWidget* parent = nullptr);
    ~SettingsView() override;

    // "English · German (Deutsch)": the languages in catalogue order.
    static QString languagesText(const LanguageSet& codes);
    // The About block's "Transcription" value for an engine.
    static QString transcriptionText(TranscriptionEngine engine, const std::string& localModelName);

    // The pieces a user acts on, for tests and accessibility tools.
    std::vector<ShortcutPill*> pills(HotkeyAction action) const;
    QPushButton* addShortcutButton(HotkeyAction action) const;
    QLabel* duplicateWarning() const { return m_duplicateWarning; }
    QLabel* languagesLabel() const { return m_languages; }
    QPushButton* changeLanguagesButton() const { return m_changeLanguages; }
    QComboBox* microphonePicker() const { return m_microphonePicker; }
    QComboBox* enginePicker() const { return m_enginePicker; }
    ToggleSwitch* streamingSwitch() const { return m_streamingSwitch; }
    QWidget* deepgramWarning() const { return m_deepgramWarning; }
    // Which engine will actually run for the languages and keys, and whether
    // words leave the computer.
    QLabel* engineStatus() const { return m_engineStatus; }
    QPlainTextEdit* instructionsEditor() const { return m_instructions; }
    ToggleSwitch* launchAtLoginSwitch() const { return m_launchAtLogin; }
    // The value shown next to an About label, or null for an unknown label.
    QLabel* aboutValue(const QString& label) const;
    // The action the key capture overlay is open for.
    std::optional<HotkeyAction> capturingFor() const { return m_capturingFor; }
    QWidget* captureOverlay() const { return m_captureOverlay; }
    QWidget* languagePicker() const { return m_languagePicker; }
    PasteMethodsCard* pasteMethods() const { return m_pasteMethods; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct HotkeyRow
    {
        HotkeyAction action;
        FlowLayout* keys = nullptr; // the pills, then the add button, wrapping when narrow
        QPushButton* add = nullptr;
    };

    QWidget* buildHotkeysCard();
    QWidget* buildLanguagesCard();
    QWidget* buildMicrophoneCard();
    QWidget* buildEngineCard();
    QWidget* buildInstructionsCard();
    QWidget* buildGeneralCard();
    QWidget* buildAboutCard();

    void reloadWorkingCopies();
    void reloadStoredPreferences();
    void rebuildPills(HotkeyRow& row);
    void rebuildMicrophonePicker();
    void refreshDeepgramWarning();
    void refreshEngineStatus();
    void refreshTotal();
    void showDuplicateWarning(const QString& text);
    void hideDuplicateWarning();

    void removeKey(HotkeyAction action, int keyCode);
    void startCapture(HotkeyAction action);
    void finishCapture(int keyCode, const QString& keyName);
    void cancelCapture();
    void changeLanguages();

    Preferences& m_preferences;
    MicrophoneManager& m_microphones;
    DataStore& m_store;
    LoginItem& m_loginItem;
    const Credentials& m_credentials;
    const OfflineWordsNote::UnknownWords m_unknownOfflineWords;
    const std::string m_localModelName;
    HotkeyStore m_hotkeys;

    HotkeyBindings m_bindings;
    LanguageSet m_selectedCodes;
    std::optional<HotkeyAction> m_capturingFor;
    QPointer<QWidget> m_captureOverlay;
    QPointer<QWidget> m_languagePicker;

    std::array<HotkeyRow, 3> m_hotkeyRows;
    QLabel* m_duplicateWarning = nullptr;
    QLabel* m_languages = nullptr;
    QPushButton* m_changeLanguages = nullptr;
    QComboBox* m_microphonePicker = nullptr;
    QComboBox* m_enginePicker = nullptr;
    QLabel* m_engineStatus = nullptr;
    ToggleSwitch* m_streamingSwitch = nullptr;
    QWidget* m_deepgramWarning = nullptr;
    QPlainTextEdit* m_instructions = nullptr;
    ToggleSwitch* m_launchAtLogin = nullptr;
    PasteMethodsCard* m_pasteMethods = nullptr;
    std::vector<std::pair<QString, QLabel*>> m_aboutValues;
    StoreWatcher* m_storeWatcher;

    // Observer calls arrive on any thread; each is turned into one queued
    // reload on the GUI thread. Shared so a call racing the destructor finds
    // the flag alive.
    Preferences::ObserverToken m_preferencesToken = 0;
    MicrophoneManager::ObserverToken m_microphonesToken = 0;
    std::shared_ptr<std::atomic<bool>> m_preferencesPending = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> m_microphonesPending = std::make_shared<std::atomic<bool>>(false);
};

} // namespace quillo
