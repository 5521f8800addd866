#pragma once

#include <atomic>
#include <memory>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace quillo {

// Runs a screen's heavy computation (over a long history) on a thread of its
// own and hands the result back to the GUI thread. Only the latest start
// counts: a result overtaken by a newer start is dropped, so a fast typist
// sees the results of the last keystroke and never an older one after it.
//
// The work must not touch widgets; it may read the store, which outlives
// the screen because the destructor waits for work still running.
class LatestJob
{
public:
    explicit LatestJob(QObject* owner) : m_owner(owner) { m_pool.setMaxThreadCount(1); }
    ~LatestJob()
    {
        ++*m_generation;
        m_pool.clear();
        m_pool.waitForDone();
    }
    LatestJob(const LatestJob&) = delete;
    LatestJob& operator=(const LatestJob&) = delete;

    // Runs `work()` on the job's thread, then `apply(result)` on the GUI
    // thread unless another start came in between.
    template <typename Work, typename Apply> void start(Work work, Apply apply)
    {
        const auto ticket = ++*m_generation;
        m_pool.clear(); // a start still queued is already overtaken
        m_pool.start([generation = m_generation, ticket, owner = QPointer<QObject>(m_owner), work, apply]() {
            if (generation->load() != ticket) {
                return;
            }
            auto result = std::make_shared<decltype(work())>(work());
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [generation, ticket, owner, result, apply]() mutable {
                    if (owner && generation->load() == ticket) {
                        generation->store(ticket + 1); // delivered: nothing pending any more
                        apply(std::move(*result));
                    }
                },
                Qt::QueuedConnection);
        });
        m_pending = ticket;
    }

    // Drops whatever is under way.
    void cancel() { ++*m_generation; }

    // A started computation has not been delivered yet.
    bool isPending() const { return m_generation->load() == m_pending; }

private:
    QObject* m_owner;
    std::shared_ptr<std::atomic<quint64>> m_generation = std::make_shared<std::atomic<quint64>>(0);
    quint64 m_pending = ~quint64{0}; // the ticket of the last start
    QThreadPool m_pool;
};

} // namespace quillo
