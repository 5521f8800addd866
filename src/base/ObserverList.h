#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace quillo {

// Token-keyed observers that any thread may add, remove or notify. Observers
// are called on the notifying thread outside the lock, so an observer may read
// the notifier, change it again or remove itself without deadlocking.
//
// Once remove() returns, the observer is not running on any other thread and
// is never called again, so its owner may be destroyed right after removing it
// (an observer removing itself from inside its own call does not wait).
template <typename... Args> class ObserverList
{
public:
    using Observer = std::function<void(Args...)>;
    using Token = std::uint64_t;

    Token add(Observer observer)
    {
        std::lock_guard lock(m_mutex);
        const Token token = m_nextToken++;
        m_observers.emplace(token, std::make_shared<Entry>(Entry{std::move(observer), {}}));
        return token;
    }

    void remove(Token token)
    {
        std::unique_lock lock(m_mutex);
        const auto found = m_observers.find(token);
        if (found == m_observers.end()) {
            return;
        }
        const std::shared_ptr<Entry> entry = found->second;
        m_observers.erase(found);
        const auto self = std::this_thread::get_id();
        m_finished.wait(lock, [&] {
            return std::all_of(entry->callers.begin(), entry->callers.end(), [&](auto id) { return id == self; });
        });
    }

    void notify(const Args&... args) const
    {
        std::vector<std::pair<Token, std::shared_ptr<Entry>>> snapshot;
        {
            std::lock_guard lock(m_mutex);
            snapshot.assign(m_observers.begin(), m_observers.end());
        }
        const auto self = std::this_thread::get_id();
        for (const auto& [token, entry] : snapshot) {
            {
                std::lock_guard lock(m_mutex);
                if (!m_observers.contains(token)) {
                    continue; // removed by an earlier observer or another thread
                }
                entry->callers.push_back(self);
            }
            const Leave leave{*this, *entry, self}; // even when the observer throws
            entry->observer(args...);
        }
    }

private:
    struct Entry
    {
        Observer observer;
        std::vector<std::thread::id> callers; // threads inside the observer now
    };

    struct Leave
    {
        const ObserverList& list;
        Entry& entry;
        std::thread::id self;
        ~Leave()
        {
            {
                std::lock_guard lock(list.m_mutex);
                entry.callers.erase(std::find(entry.callers.begin(), entry.callers.end(), self));
            }
            list.m_finished.notify_all();
        }
    };

    mutable std::mutex m_mutex; // guards m_observers, every entry's callers and m_nextToken
    mutable std::condition_variable m_finished;
    std::map<Token, std::shared_ptr<Entry>> m_observers;
    Token m_nextToken = 1;
};

} // namespace quillo
