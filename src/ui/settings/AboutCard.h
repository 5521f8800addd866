#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "transcription/TranscriptionEngine.h"
#include "ui/widgets/CardFrame.h"

class QLabel;

namespace quillo {

// Version, description, the engines in use and the number of dictations.
class AboutCard final : public CardFrame
{
    Q_OBJECT

public:
    explicit AboutCard(std::string localModelName, QWidget* parent = nullptr);

    // The "Transcription" value for an engine.
    static QString transcriptionText(TranscriptionEngine engine, const std::string& localModelName);

    void setEngine(TranscriptionEngine engine);
    void setTotalDictations(std::size_t total);
    // The value shown next to a label, or null for an unknown label.
    QLabel* value(const QString& label) const;

private:
    const std::string m_localModelName;
    std::vector<std::pair<QString, QLabel*>> m_values;
};

} // namespace quillo
