#include "platform/qt/X11Desktop.h"

#include <QByteArray>
#include <QGuiApplication>

// Xlib last: its macros (None, Bool, Status...) would break Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace quillo {

bool isX11CompositorRunning()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) {
        return true;
    }
    Display* display = x11->display();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

std::optional<QPoint> x11FocusedWindowCentre()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) {
        return std::nullopt;
    }
    Display* display = x11->display();
    Window focus = 0;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == PointerRoot || focus == 0) {
        return std::nullopt;
    }
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    Window child = 0;
    if (!XGetGeometry(display, focus, &root, &x, &y, &width, &height, &border, &depth) ||
        !XTranslateCoordinates(display, focus, root, 0, 0, &x, &y, &child)) {
        return std::nullopt;
    }
    return QPoint(x + static_cast<int>(width / 2), y + static_cast<int>(height / 2));
}

bool x11RightAltIsAltGr()
{
    constexpr int kRightAltKeyCode = 108;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) {
        return false;
    }
    XkbStateRec state{};
    XkbGetState(x11->display(), XkbUseCoreKbd, &state);
    return XkbKeycodeToKeysym(x11->display(), kRightAltKeyCode, state.group, 0) == XK_ISO_Level3_Shift;
}

} // namespace quillo
