#pragma once

#include <memory>
#include <optional>

#include "platform/TextDeliveryCheck.h"

namespace quillo {

// The focused text field read over the accessibility bus (AT-SPI 2 on its own
// D-Bus bus, whose address the session bus hands out), where GTK, Qt with
// accessibility on, Firefox, Chromium, LibreOffice and VTE terminals publish
// their widgets.
//
// The focused field is found by walking the widget tree of the one window
// that calls itself active, looking for the focused object; the walk gives up
// after a few hundred objects or 60 ms, and each call waits at most 40 ms for
// an answer. Quillo's own windows are skipped: it would be waiting for
// itself. Without the bus every read answers nothing, and the bus is asked
// for again at the next paste.
//
// Needs a QCoreApplication; main thread only.
class QtAtSpiTextDeliveryCheck final : public TextDeliveryCheck
{
public:
    QtAtSpiTextDeliveryCheck();
    ~QtAtSpiTextDeliveryCheck() override;

    QtAtSpiTextDeliveryCheck(const QtAtSpiTextDeliveryCheck&) = delete;
    QtAtSpiTextDeliveryCheck& operator=(const QtAtSpiTextDeliveryCheck&) = delete;

    std::optional<AccessibleTextSnapshot> readFocusedText() override;
    std::optional<AccessibleTextSnapshot> readAgain() override;

private:
    struct Bus;
    std::unique_ptr<Bus> m_bus;
};

} // namespace quillo
