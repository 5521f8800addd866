#include "ui/widgets/StoreWatcher.h"

#include <QPointer>

namespace quillo {

StoreWatcher::StoreWatcher(DataStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    m_token = m_store.addObserver([this, pending = m_pending](DataStore::List) {
        if (pending->exchange(true)) {
            return; // a signal is already on its way
        }
        QMetaObject::invokeMethod(
            this,
            [this, pending] {
                pending->store(false);
                emit changed();
            },
            Qt::QueuedConnection);
    });
}

StoreWatcher::~StoreWatcher()
{
    m_store.removeObserver(m_token);
}

} // namespace quillo
