#include "ui/settings/MicrophoneCard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/settings/SettingsParts.h"

namespace quillo {

using namespace settings;

MicrophoneCard::MicrophoneCard(MicrophoneManager& microphones, QWidget* parent)
    : CardFrame(12, 3, parent), m_microphones(microphones)
{
    QVBoxLayout* layout = cardLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(rowTitle(QStringLiteral("Input device")));
    row->addStretch(1);
    m_picker = settings::picker();
    m_picker->setObjectName(QStringLiteral("microphonePicker"));
    m_picker->setAccessibleName(QStringLiteral("Input device"));
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        m_microphones.setSelectedUID(m_picker->itemData(index).toString().toStdString());
    });
    row->addWidget(m_picker);
    layout->addLayout(row);

    m_token = m_microphones.addObserver([this] { m_rebuild.request(); });
}

MicrophoneCard::~MicrophoneCard()
{
    m_microphones.removeObserver(m_token);
}

void MicrophoneCard::rebuildPicker()
{
    const QSignalBlocker blocker(m_picker);
    m_picker->clear();
    m_picker->addItem(qs(m_microphones.automaticLabel()), QString());
    for (const MicDevice& device : m_microphones.devices()) {
        m_picker->addItem(qs(device.name), qs(device.uid));
    }
    // A chosen device that is unplugged matches no entry and leaves the picker
    // blank rather than pretending the automatic choice is in force.
    m_picker->setCurrentIndex(m_picker->findData(qs(m_microphones.selectedUID())));
}

} // namespace quillo
