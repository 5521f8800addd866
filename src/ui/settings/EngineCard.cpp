#include "ui/settings/EngineCard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/Preferences.h"
#include "settings/Settings.h"
#include "transcription/EngineRouting.h"
#include "transcription/TranscriptionEngine.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/ToggleSwitch.h"

namespace quillo {

using namespace settings;

EngineCard::EngineCard(Preferences& preferences,
                       const Credentials& credentials,
                       DataStore& store,
                       OfflineWordsNote::UnknownWords unknownOfflineWords,
                       QWidget* parent)
    : CardFrame(12, 3, parent), m_preferences(preferences), m_credentials(credentials)
{
    QVBoxLayout* layout = cardLayout(this);

    auto* engineRow = new QHBoxLayout;
    engineRow->addWidget(rowTitle(QStringLiteral("Engine")));
    engineRow->addStretch(1);
    m_enginePicker = picker();
    m_enginePicker->setObjectName(QStringLiteral("enginePicker"));
    m_enginePicker->setAccessibleName(QStringLiteral("Engine"));
    for (const TranscriptionEngine& engine : TranscriptionEngine::allCases()) {
        m_enginePicker->addItem(qs(engine.displayName()), qs(engine.rawValue()));
    }
    connect(m_enginePicker, &QComboBox::activated, this, [this](int index) {
        EditableSettings(m_preferences)
            .set(setting::transcriptionEngine, m_enginePicker->itemData(index).toString().toStdString());
        emit engineChosen();
    });
    engineRow->addWidget(m_enginePicker);
    layout->addLayout(engineRow);
    m_engineStatus = rowDescription(QString());
    m_engineStatus->setObjectName(QStringLiteral("engineStatus"));
    layout->addWidget(m_engineStatus);
    layout->addWidget(new OfflineWordsNote(m_preferences, m_credentials, store, std::move(unknownOfflineWords)));
    layout->addWidget(new Divider);

    auto* streamingRow = new QHBoxLayout;
    streamingRow->setSpacing(16);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(rowTitle(QStringLiteral("Streaming transcription (English, beta)")));
    text->addWidget(rowDescription(QStringLiteral("Transcribes while you speak via Deepgram live. English/Deepgram "
                                                  "only; falls back to normal upload on any error.")));
    streamingRow->addLayout(text, 1);
    m_streamingSwitch = new ToggleSwitch;
    m_streamingSwitch->setObjectName(QStringLiteral("streamingSwitch"));
    m_streamingSwitch->setAccessibleName(QStringLiteral("Streaming transcription (English, beta)"));
    connect(m_streamingSwitch, &ToggleSwitch::clicked, this, [this](bool on) {
        EditableSettings(m_preferences).set(setting::streamingEnabled, on);
    });
    streamingRow->addWidget(m_streamingSwitch, 0, Qt::AlignVCenter);
    layout->addLayout(streamingRow);

    m_deepgramWarning = new QWidget;
    m_deepgramWarning->setObjectName(QStringLiteral("deepgramWarning"));
    auto* warningColumn = new QVBoxLayout(m_deepgramWarning);
    warningColumn->setContentsMargins(0, 0, 0, 0);
    warningColumn->setSpacing(14);
    warningColumn->addWidget(new Divider);
    auto* warningRow = new QHBoxLayout;
    warningRow->setSpacing(10);
    auto* icon = new QLabel;
    const QPixmap triangle = theme::tintedIcon({"dialog-warning-symbolic"}, warningOrange(), 18, devicePixelRatioF());
    icon->setPixmap(triangle);
    icon->setFixedSize(18, 18);
    warningRow->addWidget(icon, 0, Qt::AlignTop);
    auto* warningText = rowDescription(QStringLiteral("Deepgram has limited support for non-English languages. "
                                                      "Switch to Auto or OpenAI for non-English dictation."));
    warningRow->addWidget(warningText, 1);
    warningColumn->addLayout(warningRow);
    m_deepgramWarning->hide();
    layout->addWidget(m_deepgramWarning);
}

void EngineCard::reload(const LanguageSet& selectedCodes)
{
    const TranscriptionEngine engine = TranscriptionEngine::current(m_preferences);
    m_enginePicker->setCurrentIndex(m_enginePicker->findData(qs(engine.rawValue())));
    m_streamingSwitch->setChecked(Settings(m_preferences).get(setting::streamingEnabled));
    m_deepgramWarning->setVisible(engine == TranscriptionEngine::deepgram && selectedCodes != LanguageSet{"en"});
    // Keys are read afresh: one added since the page was last shown counts.
    const EngineRoute route = currentRoute(m_preferences, m_credentials, selectedCodes);
    m_engineStatus->setText(qs(engineStatusLine(route, selectedCodes)));
}

} // namespace quillo
