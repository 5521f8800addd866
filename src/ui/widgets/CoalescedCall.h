#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QObject>

namespace quillo {

// Runs `call` on the receiver's (GUI) thread after request(), which any thread
// may make: requests made before the call gets to run coalesce into one, so a
// screen follows a burst of store changes with one refresh. A call still
// queued when the receiver is destroyed is dropped by Qt.
class CoalescedCall
{
public:
    CoalescedCall(QObject* receiver, std::function<void()> call)
        : m_receiver(receiver), m_call(std::make_shared<std::function<void()>>(std::move(call)))
    {}

    void request() const
    {
        if (m_pending->exchange(true)) {
            return; // a call is already on its way
        }
        QMetaObject::invokeMethod(
            m_receiver,
            [pending = m_pending, call = m_call] {
                pending->store(false);
                (*call)();
            },
            Qt::QueuedConnection);
    }

private:
    QObject* m_receiver;
    std::shared_ptr<std::function<void()>> m_call;
    // Shared with the queued call, so one racing the owner's destruction finds it.
    std::shared_ptr<std::atomic<bool>> m_pending = std::make_shared<std::atomic<bool>>(false);
};

} // namespace quillo
