#include "ui/settings/OfflineWordsNote.h"

#include <QVBoxLayout>

#include "settings/Settings.h"
#include "store/DataStore.h"
#include "transcription/EngineRouting.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

OfflineWordsNote::OfflineWordsNote(Preferences& preferences,
                                   const Credentials& credentials,
                                   const DataStore& store,
                                   UnknownWords unknownWords,
                                   QWidget* parent)
    : QWidget(parent),
      m_label(new ThemedLabel(QString(), ThemedLabel::Role::secondary, theme::font(theme::captionSize))),
      m_preferences(preferences), m_credentials(credentials), m_store(store), m_unknownWords(std::move(unknownWords))
{
    setObjectName(QStringLiteral("offlineWordsNote"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    m_label->setWordWrap(true);
    // Observers run on the writing thread: the label is redrawn on its own.
    m_observer = m_preferences.addObserver([this](const std::string& key) {
        if (key == setting::transcriptionEngine.key || key == setting::enabledLanguages.key ||
            key == setting::dictionaryWords.key) {
            QMetaObject::invokeMethod(this, &OfflineWordsNote::refresh, Qt::QueuedConnection);
        }
    });
    refresh();
}

OfflineWordsNote::~OfflineWordsNote()
{
    m_preferences.removeObserver(m_observer);
}

void OfflineWordsNote::refresh()
{
    std::vector<std::string> unknown;
    const auto route = currentRoute(m_preferences, m_credentials, QuilloLanguage::enabled(m_preferences));
    if (m_unknownWords && route.speech == TranscriptionEngine::local) {
        unknown = m_unknownWords(m_store.dictionaryWords());
    }
    QStringList words;
    for (const auto& word : unknown) {
        words << QString::fromStdString(word);
    }
    m_label->setText(QStringLiteral("Dictionary words not known to the offline model, so never recognised: %1")
                         .arg(words.join(QStringLiteral(", "))));
    setVisible(!unknown.empty());
}

QString OfflineWordsNote::text() const
{
    return m_label->text();
}

} // namespace quillo
