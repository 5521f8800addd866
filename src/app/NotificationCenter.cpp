#include "app/NotificationCenter.h"

#include <vector>

namespace quillo {

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, Observer observer)
{
    std::lock_guard lock(m_mutex);
    const Token token = m_nextToken++;
    m_observers.emplace(token, Entry{name, std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(token);
}

void NotificationCenter::post(const std::string& name)
{
    std::vector<Observer> toCall;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [token, entry] : m_observers) {
            if (entry.name == name) {
                toCall.push_back(entry.observer);
            }
        }
    }
    for (const auto& observer : toCall) {
        observer();
    }
}

} // namespace quillo
