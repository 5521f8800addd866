#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace quillo {

// Token-keyed observers that any thread may add, remove or notify. Observers
// are called on the notifying thread from a snapshot taken under the lock and
// released before the calls, so an observer may read the notifier, change it
// again or remove itself without deadlocking.
template <typename... Args> class ObserverList
{
public:
    using Observer = std::function<void(Args...)>;
    using Token = std::uint64_t;

    Token add(Observer observer)
    {
        std::lock_guard lock(m_mutex);
        const Token token = m_nextToken++;
        m_observers.emplace(token, std::move(observer));
        return token;
    }

    void remove(Token token)
    {
        std::lock_guard lock(m_mutex);
        m_observers.erase(token);
    }

    void notify(const Args&... args) const
    {
        std::vector<Observer> snapshot;
        {
            std::lock_guard lock(m_mutex);
            snapshot.reserve(m_observers.size());
            for (const auto& [token, observer] : m_observers) {
                snapshot.push_back(observer);
            }
        }
        for (const auto& observer : snapshot) {
            observer(args...);
        }
    }

private:
    mutable std::mutex m_mutex;
    std::map<Token, Observer> m_observers;
    Token m_nextToken = 1;
};

} // namespace quillo
