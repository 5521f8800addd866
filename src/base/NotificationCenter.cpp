#include "base/NotificationCenter.h"

#include <utility>

namespace quillo {

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, Observer observer)
{
    return m_observers.add([name, observer = std::move(observer)](const std::string& posted) {
        if (posted == name) {
            observer();
        }
    });
}

void NotificationCenter::removeObserver(Token token)
{
    m_observers.remove(token);
}

void NotificationCenter::post(const std::string& name)
{
    m_observers.notify(name);
}

} // namespace quillo
