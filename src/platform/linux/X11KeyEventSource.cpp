#include "platform/linux/X11KeyEventSource.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstring>

#include "platform/Log.h"
#include "platform/linux/X11ErrorTrap.h"
#include "platform/linux/X11SyntheticKeys.h"

namespace quillo {

namespace {

void setBit(unsigned char* bits, int event)
{
    bits[event >> 3] |= static_cast<unsigned char>(1u << (event & 7));
}

} // namespace

X11KeyEventSource::X11KeyEventSource(Log& log, const std::string& displayName, X11SyntheticKeys* ownKeys)
    : m_log(log), m_ownKeys(ownKeys)
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
    // The server answers with the version it will treat us as; anything from
    // 2.0 works, only without the raw events during other clients' grabs.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(m_display, &major, &minor) == Success && major >= 2) {
        m_xinputOpcode = opcode;
    }
    m_activeWindowAtom = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
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
    findXTestKeyboards();
    selectEvents(true);
    return {true, std::nullopt};
}

void X11KeyEventSource::stop()
{
    if (m_handler) {
        selectEvents(false);
        m_handler = nullptr;
    }
}

void X11KeyEventSource::findXTestKeyboards()
{
    m_xtestKeyboards.clear();
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int i = 0; devices && i < count; ++i) {
        // Every master keyboard has one, named "<master> XTEST keyboard".
        if (devices[i].use == XISlaveKeyboard && devices[i].name && std::strstr(devices[i].name, "XTEST")) {
            m_xtestKeyboards.insert(devices[i].deviceid);
        }
    }
    if (devices) {
        XIFreeDeviceInfo(devices);
    }
}

void X11KeyEventSource::selectEvents(bool on)
{
    // All event types in one call: a second XISelectEvents would replace the
    // first's mask.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        setBit(bits, XI_RawKeyPress);
        setBit(bits, XI_RawKeyRelease);
        setBit(bits, XI_RawButtonPress);
    }
    XIEventMask mask{};
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(m_display, XDefaultRootWindow(m_display), &mask, 1);
    // The window manager announces focus changes on the root window.
    XSelectInput(m_display, XDefaultRootWindow(m_display), on ? PropertyChangeMask : NoEventMask);
    // Flush, not sync: a round trip could read events into Xlib's queue,
    // where the main loop's watch on the socket would not see them.
    XFlush(m_display);
}

void X11KeyEventSource::resync()
{
    // A round trip, but only from dispatchPending(), whose loop drains
    // whatever it reads into Xlib's queue meanwhile.
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    for (const KeyEvent& event : m_translator.resync([&keys](int xKeyCode) {
             return xKeyCode >= 0 && xKeyCode < 256 && (keys[xKeyCode / 8] & (1 << (xKeyCode % 8))) != 0;
         })) {
        deliver(event);
    }
}

void X11KeyEventSource::deliver(const KeyEvent& event)
{
    // Events still queued after stop() are read and dropped.
    if (m_handler) {
        // A copy: the handler may stop the source.
        Handler handler = m_handler;
        handler(event);
    }
}

void X11KeyEventSource::dispatchPending()
{
    if (!m_display) {
        return;
    }
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == PropertyNotify) {
            if (event.xproperty.atom == m_activeWindowAtom && m_handler) {
                resync();
            }
            continue;
        }
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != m_xinputOpcode || !XGetEventData(m_display, &cookie)) {
            continue;
        }
        const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
        const int evtype = cookie.evtype;
        const int xKeyCode = raw->detail;
        const bool serverRepeat = (raw->flags & XIKeyRepeat) != 0;
        const bool synthetic = m_xtestKeyboards.count(raw->sourceid) != 0;
        XFreeEventData(m_display, &cookie);

        if (evtype == XI_RawButtonPress) {
            if (m_handler) {
                resync();
            }
            continue;
        }
        if (evtype != XI_RawKeyPress && evtype != XI_RawKeyRelease) {
            continue;
        }
        const bool press = evtype == XI_RawKeyPress;
        if (synthetic && m_ownKeys && m_ownKeys->claim(xKeyCode, press)) {
            continue;
        }
        // A release of a key not known to be down means presses or releases
        // were missed; the other held keys are suspect too.
        const bool drifted = !press && !m_translator.isDown(xKeyCode);
        const std::optional<KeyEvent> key =
            press ? m_translator.press(xKeyCode, serverRepeat) : m_translator.release(xKeyCode);
        if (key) {
            deliver(*key);
        }
        if (drifted && m_handler) {
            resync();
        }
    }
}

} // namespace quillo
