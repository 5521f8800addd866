#include "platform/linux/X11Accessibility.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/X11ErrorTrap.h"

namespace quillo {

bool isX11AccessibilityTrusted(const std::string& displayName)
{
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display) {
        return false;
    }
    bool trusted = false;
    {
        const X11ErrorTrap trap(display, nullptr);
        int opcode = 0;
        int event = 0;
        int error = 0;
        int major = 2;
        int minor = 0;
        const bool xinput2 = XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
                             XIQueryVersion(display, &major, &minor) == Success && major >= 2;
        const bool xtest = XTestQueryExtension(display, &event, &error, &major, &minor);
        trusted = xinput2 && xtest;
    }
    XCloseDisplay(display);
    return trusted;
}

} // namespace quillo
