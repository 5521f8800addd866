#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace quillo {

// Named in-process notifications ("QuilloMicFallbackDidOccur").
//
// Threading: any thread. Observers run synchronously on the posting thread,
// outside the lock, in the order they were added.
class NotificationCenter
{
public:
    using Observer = std::function<void()>;
    using Token = std::uint64_t;

    Token addObserver(const std::string& name, Observer observer);
    void removeObserver(Token token);
    void post(const std::string& name);

private:
    struct Entry
    {
        std::string name;
        Observer observer;
    };

    std::mutex m_mutex; // guards m_observers and m_nextToken
    std::map<Token, Entry> m_observers;
    Token m_nextToken = 1;
};

} // namespace quillo
