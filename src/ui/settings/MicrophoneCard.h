#pragma once

#include <atomic>
#include <memory>

#include "audio/MicrophoneManager.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/CoalescedCall.h"

class QComboBox;

namespace quillo {

// The input device picker: the automatic choice, then the devices found,
// following the device list as it changes.
class MicrophoneCard final : public CardFrame
{
    Q_OBJECT

public:
    explicit MicrophoneCard(MicrophoneManager& microphones, QWidget* parent = nullptr);
    ~MicrophoneCard() override;

    void rebuildPicker();
    QComboBox* picker() const { return m_picker; }

private:
    MicrophoneManager& m_microphones;
    QComboBox* m_picker = nullptr;

    // Observer calls arrive on any thread; each is turned into one queued
    // rebuild on the GUI thread. Shared so a call racing the destructor finds
    // the flag alive.
    MicrophoneManager::ObserverToken m_token = 0;
    CoalescedCall m_rebuild{this, [this] { rebuildPicker(); }};
};

} // namespace quillo
