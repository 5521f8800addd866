#include "platform/qt/QtKeyEventPump.h"

#include <QSocketNotifier>

#include "platform/linux/X11KeyEventSource.h"

namespace quillo {

QtKeyEventPump::QtKeyEventPump(X11KeyEventSource& source)
{
    const int fd = source.fileDescriptor();
    if (fd < 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [&source] {
        source.dispatchPending();
    });
}

QtKeyEventPump::~QtKeyEventPump() = default;

} // namespace quillo
