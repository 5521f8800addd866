#pragma once

#include <atomic>
#include <memory>

#include <QObject>

#include "store/DataStore.h"
#include "ui/widgets/CoalescedCall.h"

namespace quillo {

// Turns the store's any-thread observer calls into one `changed` signal on
// the GUI thread. A burst of changes before the GUI thread gets to it
// coalesces into a single signal, so a screen recomputes once per burst.
class StoreWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit StoreWatcher(DataStore& store, QObject* parent = nullptr);
    ~StoreWatcher() override;

    DataStore& store() const { return m_store; }

signals:
    void changed();

private:
    DataStore& m_store;
    DataStore::ObserverToken m_token = 0;
    CoalescedCall m_changed{this, [this] { emit changed(); }};
};

} // namespace quillo
