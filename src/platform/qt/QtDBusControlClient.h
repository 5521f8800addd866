#pragma once

#include "platform/ControlClient.h"

namespace quillo {

// Calls the control interface of QtDBusControlService over the session bus.
// Calls never ask the bus to start a service: without a running Quillo the
// answer is notRunning. Needs a QCoreApplication.
class QtDBusControlClient final : public ControlClient
{
public:
    // How long a running Quillo may take to answer.
    static constexpr int kTimeoutMs = 5000;

    Answer call(const std::string& method) override;
    Answer state() override;
};

} // namespace quillo
