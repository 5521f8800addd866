#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/ObserverList.h"

namespace quillo {

// Posted when the chosen microphone could not be used and the default input
// records instead.
inline constexpr const char* kMicFallbackDidOccur = "QuilloMicFallbackDidOccur";

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
    // Every observer sees every post and keeps the ones with its name.
    ObserverList<std::string> m_observers;
};

} // namespace quillo
