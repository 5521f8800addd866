#include "platform/linux/X11Accessibility.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include "platform/linux/X11ErrorTrap.h"

namespace quillo {

namespace {

constexpr const char* kLogIntoXorg =
    "At the login screen, choose an Xorg session (\"GNOME on Xorg\", \"Plasma (X11)\" or similar) and log in again.";

enum class Missing
{
    nothing,
    display,
    extensions
};

Missing whatIsMissing(const std::string& displayName)
{
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display) {
        return Missing::display;
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
    return trusted ? Missing::nothing : Missing::extensions;
}

} // namespace

bool isX11AccessibilityTrusted(const std::string& displayName)
{
    return whatIsMissing(displayName) == Missing::nothing;
}

std::string x11AccessibilityAdvice(const std::string& displayName)
{
    const Missing missing = whatIsMissing(displayName);
    switch (missing) {
    case Missing::nothing:
        return {};
    case Missing::display:
        return std::string("Quillo needs an X11 session to see its hotkeys, and no X display could be opened. ") +
               kLogIntoXorg;
    case Missing::extensions:
        return std::string("The X server lacks the XInput 2 or XTest extension that Quillo needs to see its hotkeys "
                           "and to paste. ") +
               kLogIntoXorg;
    }
    return {};
}

} // namespace quillo
