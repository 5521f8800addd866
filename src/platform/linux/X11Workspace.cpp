#include "platform/linux/X11Workspace.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

namespace quillo {

namespace {

// Windows may vanish between reading _NET_ACTIVE_WINDOW and reading their
// properties; such errors are expected and must not end the process.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

struct X11Workspace::Connection
{
    Display* display = nullptr;
    Atom activeWindow = None;
    Atom windowName = None;
    Atom utf8String = None;
};

X11Workspace::X11Workspace() : m_connection(std::make_unique<Connection>())
{
    m_connection->display = XOpenDisplay(nullptr);
    if (m_connection->display) {
        m_connection->activeWindow = XInternAtom(m_connection->display, "_NET_ACTIVE_WINDOW", False);
        m_connection->windowName = XInternAtom(m_connection->display, "_NET_WM_NAME", False);
        m_connection->utf8String = XInternAtom(m_connection->display, "UTF8_STRING", False);
    }
}

X11Workspace::~X11Workspace()
{
    if (m_connection->display) {
        XCloseDisplay(m_connection->display);
    }
}

std::optional<FrontApplication> X11Workspace::frontmostApplication()
{
    Display* display = m_connection->display;
    if (!display) {
        return std::nullopt;
    }
    auto* previousHandler = XSetErrorHandler(ignoreXError);

    Window active = None;
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display,
                               DefaultRootWindow(display),
                               m_connection->activeWindow,
                               0,
                               1,
                               False,
                               XA_WINDOW,
                               &type,
                               &format,
                               &count,
                               &remaining,
                               &data) == Success &&
            data && count == 1 && format == 32) {
            active = *reinterpret_cast<Window*>(data);
        }
        if (data) {
            XFree(data);
        }
    }

    std::optional<FrontApplication> result;
    if (active != None) {
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
            Atom type = None;
            int format = 0;
            unsigned long count = 0;
            unsigned long remaining = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display,
                                   active,
                                   m_connection->windowName,
                                   0,
                                   1024,
                                   False,
                                   m_connection->utf8String,
                                   &type,
                                   &format,
                                   &count,
                                   &remaining,
                                   &data) == Success &&
                data && count > 0) {
                app.name = std::string(reinterpret_cast<char*>(data), count);
            }
            if (data) {
                XFree(data);
            }
        }
        XSync(display, False); // collect errors from a window that vanished meanwhile
        result = app;
    }
    XSetErrorHandler(previousHandler);
    return result;
}

} // namespace quillo
