#include "ui/settings/SettingsView.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "store/DataStore.h"
#include "ui/settings/DesktopKeysNote.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/StoreWatcher.h"

namespace quillo {

using namespace settings;

SettingsView::SettingsView(Dependencies dependencies, QWidget* parent)
    : QWidget(parent), m_preferences(dependencies.preferences), m_microphones(dependencies.microphones),
      m_store(dependencies.store), m_hotkeysCard(new HotkeysCard(m_preferences)),
      m_languagesCard(new LanguagesCard(m_preferences)), m_microphoneCard(new MicrophoneCard(m_microphones)),
      m_engineCard(new EngineCard(m_preferences,
                                  dependencies.credentials,
                                  m_store,
                                  std::move(dependencies.unknownOfflineWords))),
      m_instructionsCard(new InstructionsCard(m_preferences)),
      m_pasteMethods(new PasteMethodsCard(m_preferences, dependencies.lastPaste)),
      m_generalCard(new GeneralCard(m_preferences, dependencies.loginItem)),
      m_aboutCard(new AboutCard(std::move(dependencies.localModelName))),
      m_storeWatcher(new StoreWatcher(m_store, this))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // Every row wraps or fits, so the page only ever scrolls down.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("settingsContent"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(44, 40, 44, 44);
    column->setSpacing(10);
    const auto section = [column](const QString& title, QWidget* body, QLabel* note = nullptr) {
        column->addWidget(sectionHeader(title));
        column->addWidget(body);
        if (note) {
            column->addSpacing(2);
            column->addWidget(note);
        }
        column->addSpacing(22);
    };
    section(QStringLiteral("Hotkeys"), m_hotkeysCard, desktopKeysNote(keysManagedByDesktop()));
    section(
        QStringLiteral("Languages"),
        m_languagesCard,
        caption(QStringLiteral("Quillo passes your selected language(s) to the transcription engine. If multiple "
                               "are selected, the engine auto-detects. At least one language is always selected.")));
    section(QStringLiteral("Microphone"), m_microphoneCard);
    section(QStringLiteral("Transcription Engine"),
            m_engineCard,
            caption(QStringLiteral("Auto routes English-only to Deepgram (nova-3) and any other selected language to "
                                   "OpenAI (gpt-4o-mini-transcribe).")));
    if (dependencies.serviceKeys) {
        m_apiKeysCard = new ApiKeysCard(*dependencies.serviceKeys, std::move(dependencies.checkKey));
        section(QStringLiteral("API Keys"),
                m_apiKeysCard,
                caption(QStringLiteral("Kept in the desktop's keyring where one runs. OPENAI_API_KEY and "
                                       "DEEPGRAM_API_KEY in Quillo's environment win over saved keys.")));
    }
    section(QStringLiteral("Custom Cleanup Instructions"),
            m_instructionsCard,
            caption(QStringLiteral("Optional extra guidance — e.g. \"Keep technical jargon as-is\" or \"Use British "
                                   "spelling\". Leave blank for defaults.")));
    auto* pasteCard = new CardFrame(12);
    cardLayout(pasteCard)->addWidget(m_pasteMethods);
    section(QStringLiteral("Pasting"), pasteCard);
    section(QStringLiteral("General"), m_generalCard);
    section(QStringLiteral("About"), m_aboutCard);
    column->addStretch(1);
    scroll->setWidget(content);

    m_preferencesToken = m_preferences.addObserver([this](const std::string&) { m_reload.request(); });
    connect(m_languagesCard, &LanguagesCard::pickerClosed, this, &SettingsView::reloadStoredPreferences);
    connect(m_engineCard, &EngineCard::engineChosen, this, &SettingsView::reloadStoredPreferences);
    connect(m_storeWatcher, &StoreWatcher::changed, this, &SettingsView::refreshTotal);

    reloadWorkingCopies();
    reloadStoredPreferences();
    m_microphoneCard->rebuildPicker();
    refreshTotal();
}

SettingsView::~SettingsView()
{
    m_preferences.removeObserver(m_preferencesToken);
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_microphones.refreshDevices();
    m_microphoneCard->rebuildPicker();
    reloadWorkingCopies();
    reloadStoredPreferences();
    refreshTotal();
    m_pasteMethods->reload();
}

void SettingsView::reloadWorkingCopies()
{
    m_hotkeysCard->reload();
    m_languagesCard->reload();
    m_engineCard->reload(m_languagesCard->selectedCodes());
}

void SettingsView::reloadStoredPreferences()
{
    if (m_apiKeysCard) {
        m_apiKeysCard->reload();
    }
    m_engineCard->reload(m_languagesCard->selectedCodes());
    m_instructionsCard->reload();
    m_generalCard->reload();
    m_aboutCard->setEngine(TranscriptionEngine::current(m_preferences));
}

void SettingsView::refreshTotal()
{
    m_aboutCard->setTotalDictations(m_store.totalDictations());
}

} // namespace quillo
