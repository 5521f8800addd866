#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

namespace quillo {

QtMainQueue::QtMainQueue() : m_context(new QObject) {}

QtMainQueue::~QtMainQueue()
{
    // Queued calls on a deleted context are dropped by Qt.
    delete m_context;
}

void QtMainQueue::post(Task task)
{
    QMetaObject::invokeMethod(m_context, std::move(task), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(std::chrono::milliseconds delay, Task task)
{
    // Timers must be started on the context's thread; hop there first.
    QMetaObject::invokeMethod(
        m_context,
        [context = m_context, delay, task = std::move(task)]() mutable {
            QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(task));
        },
        Qt::QueuedConnection);
}

} // namespace quillo
