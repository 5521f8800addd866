#include "ui/widgets/StoreWatcher.h"

#include <QPointer>

namespace quillo {

StoreWatcher::StoreWatcher(DataStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    m_token = m_store.addObserver([this](DataStore::List) { m_changed.request(); });
}

StoreWatcher::~StoreWatcher()
{
    m_store.removeObserver(m_token);
}

} // namespace quillo
