#include "ui/settings/AboutCard.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "transcription/EngineRouting.h"
#include "transcription/OpenAIService.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

using namespace settings;

AboutCard::AboutCard(std::string localModelName, QWidget* parent)
    : CardFrame(12, 3, parent), m_localModelName(std::move(localModelName))
{
    QVBoxLayout* layout = cardLayout(this);
    layout->setSpacing(11);
    const auto aboutRow = [&](const QString& label, const QString& value) {
        auto* row = new QHBoxLayout;
        row->setSpacing(24);
        row->addWidget(new ThemedLabel(label, ThemedLabel::Role::primary, theme::font(theme::captionSize)));
        auto* valueLabel = new ThemedLabel(value, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
        valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The auto engine's line is long: it wraps rather than widen the page.
        valueLabel->setWordWrap(true);
        row->addWidget(valueLabel, 1);
        layout->addLayout(row);
        m_values.emplace_back(label, valueLabel);
    };
    aboutRow(QStringLiteral("Version"), QStringLiteral("Quillo v") + QString::fromLatin1(QUILLO_VERSION));
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Description"), QStringLiteral("Native voice dictation for Linux"));
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Transcription"), QString());
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Cleanup"), QStringLiteral("OpenAI ") + QString::fromLatin1(OpenAIService::cleanupModel));
    layout->addWidget(new Divider);
    aboutRow(QStringLiteral("Total dictations"), QString());
}

QString AboutCard::transcriptionText(TranscriptionEngine engine, const std::string& localModelName)
{
    return qs(transcriptionAboutText(engine, localModelName));
}

void AboutCard::setEngine(TranscriptionEngine engine)
{
    value(QStringLiteral("Transcription"))->setText(transcriptionText(engine, m_localModelName));
}

void AboutCard::setTotalDictations(std::size_t total)
{
    value(QStringLiteral("Total dictations"))->setText(QString::number(total));
}

QLabel* AboutCard::value(const QString& label) const
{
    for (const auto& [name, valueLabel] : m_values) {
        if (name == label) {
            return valueLabel;
        }
    }
    return nullptr;
}

} // namespace quillo
