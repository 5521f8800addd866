#pragma once

#include <memory>

class QSocketNotifier;

namespace quillo {

class X11KeyEventSource;

// Reads the X11 key source on Qt's event loop: whenever its connection has
// data, the waiting events are dispatched. Create it on the main thread after
// the source; it must not outlive the source.
class QtKeyEventPump final
{
public:
    explicit QtKeyEventPump(X11KeyEventSource& source);
    ~QtKeyEventPump();

    QtKeyEventPump(const QtKeyEventPump&) = delete;
    QtKeyEventPump& operator=(const QtKeyEventPump&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier; // null without a display
};

} // namespace quillo
