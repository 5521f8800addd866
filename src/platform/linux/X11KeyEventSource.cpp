#include "platform/linux/X11KeyEventSource.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include "platform/Log.h"
#include "platform/linux/X11ErrorTrap.h"

namespace quillo {

X11KeyEventSource::X11KeyEventSource(Log& log, const std::string& displayName) : m_log(log)
{
    m_display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!m_display) {
        return;
    }
    m_errorTrap = std::make_unique<X11ErrorTrap>(m_display, &m_log);

    int event = 0;
    int error = 0;
    int opcode = 0;
    if (!XQueryExtension(m_display, "XInputExtension", &opcode, &event, &error)) {
        return;
    }
    int major = 2;
    int minor = 0;
    if (XIQueryVersion(m_display, &major, &minor) == Success && major >= 2) {
        m_xinputOpcode = opcode;
    }
}

X11KeyEventSource::~X11KeyEventSource()
{
    if (m_display) {
        XCloseDisplay(m_display);
    }
}

int X11KeyEventSource::fileDescriptor() const
{
    return m_display ? XConnectionNumber(m_display) : -1;
}

KeyEventSource::Started X11KeyEventSource::start(Handler handler)
{
    if (!m_display) {
        m_log.write("[Quillo] Key monitor: no X display could be opened");
        return {};
    }
    if (m_xinputOpcode < 0) {
        m_log.write("[Quillo] Key monitor: the X server has no XInput 2");
        return {};
    }
    m_handler = std::move(handler);
    m_translator.reset();
    selectRawKeys(true);
    return {true, std::nullopt};
}

void X11KeyEventSource::stop()
{
    if (m_handler) {
        selectRawKeys(false);
        m_handler = nullptr;
    }
}

void X11KeyEventSource::selectRawKeys(bool on)
{
    // Both event types in one call: a second XISelectEvents would replace the
    // first's mask.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        bits[XI_RawKeyPress >> 3] |= static_cast<unsigned char>(1u << (XI_RawKeyPress & 7));
        bits[XI_RawKeyRelease >> 3] |= static_cast<unsigned char>(1u << (XI_RawKeyRelease & 7));
    }
    XIEventMask mask{};
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(m_display, XDefaultRootWindow(m_display), &mask, 1);
    // Flush, not sync: a round trip could read events into Xlib's queue,
    // where the main loop's watch on the socket would not see them.
    XFlush(m_display);
}

void X11KeyEventSource::dispatchPending()
{
    if (!m_display) {
        return;
    }
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != m_xinputOpcode || !XGetEventData(m_display, &cookie)) {
            continue;
        }
        std::optional<KeyEvent> key;
        const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
        if (cookie.evtype == XI_RawKeyPress) {
            key = m_translator.press(raw->detail, (raw->flags & XIKeyRepeat) != 0);
        } else if (cookie.evtype == XI_RawKeyRelease) {
            key = m_translator.release(raw->detail);
        }
        XFreeEventData(m_display, &cookie);
        // Events still queued after stop() are read and dropped.
        if (key && m_handler) {
            // A copy: the handler may stop the source.
            Handler handler = m_handler;
            handler(*key);
        }
    }
}

} // namespace quillo
