#include "platform/linux/X11Workspace.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <string>

#include "platform/linux/X11ErrorTrap.h"

namespace quillo {

namespace {

// Reads a window property of up to `maxItems` items; empty when the window
// or the property is gone, or has another type or format.
std::string readProperty(Display* display, Window window, Atom property, Atom type, long maxItems, int wantFormat)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display,
                           window,
                           property,
                           0,
                           maxItems,
                           False,
                           type,
                           &actualType,
                           &format,
                           &count,
                           &remaining,
                           &data) == Success &&
        data && count > 0 && format == wantFormat) {
        // Xlib hands 32-bit items back as longs.
        const std::size_t itemSize = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
        value.assign(reinterpret_cast<const char*>(data), count * itemSize);
    }
    if (data) {
        XFree(data);
    }
    return value;
}

} // namespace

struct X11Workspace::Connection
{
    Display* display = nullptr;
    // Windows may vanish between reading _NET_ACTIVE_WINDOW and reading their
    // properties; the trap keeps that BadWindow from ending the process without
    // touching the error handling of other threads' connections.
    std::unique_ptr<X11ErrorTrap> trap;
    Atom activeWindow = None;
    Atom windowName = None;
    Atom utf8String = None;
};

X11Workspace::X11Workspace() : m_connection(std::make_unique<Connection>())
{
    m_connection->display = XOpenDisplay(nullptr);
    if (m_connection->display) {
        m_connection->trap = std::make_unique<X11ErrorTrap>(m_connection->display, nullptr);
        m_connection->activeWindow = XInternAtom(m_connection->display, "_NET_ACTIVE_WINDOW", False);
        m_connection->windowName = XInternAtom(m_connection->display, "_NET_WM_NAME", False);
        m_connection->utf8String = XInternAtom(m_connection->display, "UTF8_STRING", False);
    }
}

X11Workspace::~X11Workspace()
{
    if (m_connection->display) {
        m_connection->trap.reset();
        XCloseDisplay(m_connection->display);
    }
}

std::optional<FrontApplication> X11Workspace::frontmostApplication()
{
    Display* display = m_connection->display;
    if (!display) {
        return std::nullopt;
    }

    const std::string activeData =
        readProperty(display, DefaultRootWindow(display), m_connection->activeWindow, XA_WINDOW, 1, 32);
    Window active = None;
    if (activeData.size() == sizeof(long)) {
        unsigned long raw = 0;
        std::memcpy(&raw, activeData.data(), sizeof raw);
        active = static_cast<Window>(raw);
    }
    if (active == None) {
        return std::nullopt;
    }

    FrontApplication app;
    XClassHint hint{};
    if (XGetClassHint(display, active, &hint) != 0) {
        if (hint.res_class && hint.res_class[0] != '\0') {
            app.bundleID = hint.res_class;
            app.name = hint.res_class;
        }
        if (hint.res_name) {
            XFree(hint.res_name);
        }
        if (hint.res_class) {
            XFree(hint.res_class);
        }
    }
    if (!app.name) {
        std::string title = readProperty(display, active, m_connection->windowName, m_connection->utf8String, 1024, 8);
        if (!title.empty()) {
            app.name = std::move(title);
        }
    }
    XSync(display, False); // collect errors from a window that vanished meanwhile
    return app;
}

} // namespace quillo
