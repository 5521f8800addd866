#pragma once

#include <QObject>

#include "platform/MainQueue.h"

namespace quillo {

// The main queue on Qt's event loop: closures become queued calls on a
// context object that lives on the GUI thread.
class QtMainQueue final : public MainQueue
{
public:
    QtMainQueue();
    ~QtMainQueue() override;

    void post(Task task) override;
    void postAfter(std::chrono::milliseconds delay, Task task) override;

private:
    QObject* m_context; // owned; lives on the thread that created the queue
};

} // namespace quillo
