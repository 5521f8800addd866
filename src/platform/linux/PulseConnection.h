#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/thread-mainloop.h>

namespace quillo {

// One client connection to the PulseAudio server (PipeWire's pulse server
// too), served by its own mainloop thread, shared by everything that talks to
// the server. It connects at construction, so the first recording does not pay
// for the handshake, and reconnects on demand after the server went away.
//
// Threading: Lock may be taken on any thread except the mainloop thread (where
// every libpulse callback runs, already under the lock). The connection must
// outlive the streams and operations made on it; they hold it by shared_ptr.
class PulseConnection
{
public:
    struct Options
    {
        // The server address; nothing means libpulse's own choice ($PULSE_SERVER,
        // then the user's session server). No server is ever spawned.
        std::optional<std::string> server;
        // How long one caller may wait for the server, start to end. A healthy
        // local server answers in a few milliseconds.
        std::chrono::milliseconds timeout{500};
        // After the server failed to connect or to answer in time, calls fail
        // at once for this long, so a hung server costs the caller one timeout
        // and not one per call.
        std::chrono::milliseconds retryPause{2000};
    };

    // Holds the mainloop lock for its lifetime. Waits measure against one
    // deadline set when the lock was taken.
    class Lock
    {
    public:
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

        // The context when it is connected and ready, else null.
        pa_context* readyContext() const;

        // Releases the lock until `done` holds (checked under the lock) or the
        // deadline passes. libpulse callbacks that change what `done` looks at
        // must call PulseConnection::signal().
        bool waitUntil(const std::function<bool()>& done);

        // Waits for the operation to finish and releases it. False when it
        // failed, was cancelled or timed out (then it is cancelled). A null
        // operation (the request could not be sent) counts as failed.
        bool complete(pa_operation* operation);

        // The server did not answer in time: drop the connection and pause
        // before the next attempt.
        void giveUpOnServer();

    private:
        friend class PulseConnection;
        Lock(PulseConnection& connection, bool connect);

        PulseConnection& m_connection;
        std::chrono::steady_clock::time_point m_deadline;
    };

    PulseConnection();
    explicit PulseConnection(Options options);
    ~PulseConnection();

    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Locks, reconnects when the previous connection failed, and waits (within
    // the timeout) until the context is ready. readyContext() on the result is
    // null when the server cannot be reached.
    Lock connect();

    // Only the lock: for tearing down streams, which must not wait for a server.
    Lock lock();

    // Wakes the threads waiting in Lock::waitUntil. Mainloop thread only.
    void signal();

private:
    void startConnectingLocked();
    void ensureConnectedLocked(Lock& held);
    static void contextStateChanged(pa_context* context, void* self);

    Options m_options;
    pa_threaded_mainloop* m_mainloop = nullptr;         // null when the thread could not start
    pa_context* m_context = nullptr;                    // guarded by the mainloop lock
    std::chrono::steady_clock::time_point m_retryAfter; // guarded by the mainloop lock
};

} // namespace quillo
