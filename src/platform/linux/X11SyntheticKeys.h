#pragma once

#include <chrono>
#include <deque>
#include <mutex>

namespace quillo {

// The key events this program is about to send through XTest, announced by
// the synthesizer and claimed by the key monitor, so that the monitor never
// takes our own Ctrl+V or Return for the user's keys. Only our own events are
// claimed: XTest keys from other programs (on-screen keyboards, remote
// desktops) are still the user's.
//
// Threading: any thread.
class X11SyntheticKeys
{
public:
    // How long an announced event is waited for before it is forgotten (the
    // server may have dropped it).
    static constexpr std::chrono::seconds kLifetime{2};

    void announce(int xKeyCode, bool press)
    {
        const std::lock_guard lock(m_mutex);
        dropExpired();
        m_pending.push_back({xKeyCode, press, std::chrono::steady_clock::now() + kLifetime});
    }

    // True, once, for an event that was announced.
    bool claim(int xKeyCode, bool press)
    {
        const std::lock_guard lock(m_mutex);
        dropExpired();
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->xKeyCode == xKeyCode && it->press == press) {
                m_pending.erase(it);
                return true;
            }
        }
        return false;
    }

private:
    struct Pending
    {
        int xKeyCode;
        bool press;
        std::chrono::steady_clock::time_point expiry;
    };

    void dropExpired()
    {
        const auto now = std::chrono::steady_clock::now();
        while (!m_pending.empty() && m_pending.front().expiry < now) {
            m_pending.pop_front();
        }
    }

    std::mutex m_mutex;
    std::deque<Pending> m_pending;
};

} // namespace quillo
