#include "platform/qt/X11Compositor.h"

#include <QByteArray>
#include <QGuiApplication>

// Xlib last: its macros (None, Bool, Status...) would break Qt's headers.
#include <X11/Xlib.h>

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

} // namespace quillo
