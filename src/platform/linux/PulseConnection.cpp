#include "platform/linux/PulseConnection.h"

#include <pulse/proplist.h>
#include <pulse/rtclock.h>

#include "base/AppId.h"

namespace quillo {

namespace {

bool isConnecting(pa_context_state_t state)
{
    // UNCONNECTED after pa_context_connect() means it could not even start.
    return state == PA_CONTEXT_CONNECTING || state == PA_CONTEXT_AUTHORIZING || state == PA_CONTEXT_SETTING_NAME;
}

void wakeWaiters(pa_threaded_mainloop* mainloop)
{
    pa_threaded_mainloop_signal(mainloop, 0);
}

} // namespace

// ------------------------------------------------------------------- Lock

PulseConnection::Lock::Lock(PulseConnection& connection, bool connect)
    : m_connection(connection), m_deadline(std::chrono::steady_clock::now() + connection.m_options.timeout)
{
    if (m_connection.m_mainloop) {
        pa_threaded_mainloop_lock(m_connection.m_mainloop);
        if (connect) {
            m_connection.ensureConnectedLocked(*this);
        }
    }
}

PulseConnection::Lock::~Lock()
{
    if (m_connection.m_mainloop) {
        pa_threaded_mainloop_unlock(m_connection.m_mainloop);
    }
}

pa_context* PulseConnection::Lock::readyContext() const
{
    pa_context* context = m_connection.m_context;
    return context && pa_context_get_state(context) == PA_CONTEXT_READY ? context : nullptr;
}

bool PulseConnection::Lock::waitUntil(const std::function<bool()>& done)
{
    if (done()) {
        return true;
    }
    pa_threaded_mainloop* mainloop = m_connection.m_mainloop;
    if (!mainloop || !m_connection.m_context) {
        return false;
    }
    const auto remaining = m_deadline - std::chrono::steady_clock::now();
    if (remaining <= std::chrono::steady_clock::duration::zero()) {
        return false;
    }
    // A timer on the mainloop wakes this thread at the deadline even when the
    // server never answers.
    const auto remainingUsec = std::chrono::duration_cast<std::chrono::microseconds>(remaining).count();
    pa_time_event* timer = pa_context_rttime_new(
        m_connection.m_context,
        pa_rtclock_now() + static_cast<pa_usec_t>(remainingUsec),
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* loop) {
            wakeWaiters(static_cast<pa_threaded_mainloop*>(loop));
        },
        mainloop);
    bool finished = true;
    while (!done()) {
        if (!timer || std::chrono::steady_clock::now() >= m_deadline) {
            finished = false;
            break;
        }
        pa_threaded_mainloop_wait(mainloop);
    }
    if (timer) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop);
        api->time_free(timer);
    }
    return finished;
}

bool PulseConnection::Lock::complete(pa_operation* operation)
{
    if (!operation) {
        return false;
    }
    pa_operation_set_state_callback(
        operation,
        [](pa_operation*, void* loop) { wakeWaiters(static_cast<pa_threaded_mainloop*>(loop)); },
        m_connection.m_mainloop);
    waitUntil([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    const pa_operation_state_t state = pa_operation_get_state(operation);
    if (state == PA_OPERATION_RUNNING) {
        pa_operation_cancel(operation);
        giveUpOnServer();
    }
    pa_operation_set_state_callback(operation, nullptr, nullptr);
    pa_operation_unref(operation);
    return state == PA_OPERATION_DONE;
}

void PulseConnection::Lock::giveUpOnServer()
{
    m_connection.m_retryAfter = std::chrono::steady_clock::now() + m_connection.m_options.retryPause;
    pa_context* context = m_connection.m_context;
    if (context && PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        pa_context_disconnect(context);
    }
}

// ------------------------------------------------------------- connection

PulseConnection::PulseConnection() : PulseConnection(Options{}) {}

PulseConnection::PulseConnection(Options options) : m_options(std::move(options))
{
    m_mainloop = pa_threaded_mainloop_new();
    if (!m_mainloop) {
        return;
    }
    pa_threaded_mainloop_set_name(m_mainloop, "quillo-pulse");
    if (pa_threaded_mainloop_start(m_mainloop) < 0) {
        pa_threaded_mainloop_free(m_mainloop);
        m_mainloop = nullptr;
        return;
    }
    Lock held(*this, false);
    startConnectingLocked();
}

PulseConnection::~PulseConnection()
{
    if (!m_mainloop) {
        return;
    }
    {
        Lock held(*this, false);
        if (m_context) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
    }
    pa_threaded_mainloop_stop(m_mainloop);
    pa_threaded_mainloop_free(m_mainloop);
}

void PulseConnection::startConnectingLocked()
{
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quillo");
    // The desktop id, so sound settings show Quillo's name and icon next to its recording.
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, kAppId);
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, kAppId);
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_mainloop), "Quillo", properties);
    pa_proplist_free(properties);
    if (!m_context) {
        return;
    }
    pa_context_set_state_callback(m_context, &PulseConnection::contextStateChanged, this);
    // A failure to start shows as the FAILED state, which the next connect() retries.
    pa_context_connect(m_context,
                       m_options.server ? m_options.server->c_str() : nullptr,
                       PA_CONTEXT_NOAUTOSPAWN,
                       nullptr);
}

void PulseConnection::contextStateChanged(pa_context*, void* self)
{
    static_cast<PulseConnection*>(self)->signal();
}

PulseConnection::Lock PulseConnection::connect()
{
    return Lock(*this, true);
}

PulseConnection::Lock PulseConnection::lock()
{
    return Lock(*this, false);
}

void PulseConnection::ensureConnectedLocked(Lock& held)
{
    if (!m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
        if (std::chrono::steady_clock::now() < m_retryAfter) {
            return;
        }
        startConnectingLocked();
    }
    if (!m_context) {
        return;
    }
    held.waitUntil([this] { return !isConnecting(pa_context_get_state(m_context)); });
    if (pa_context_get_state(m_context) != PA_CONTEXT_READY) {
        held.giveUpOnServer();
    }
}

void PulseConnection::signal()
{
    if (m_mainloop) {
        wakeWaiters(m_mainloop);
    }
}

} // namespace quillo
