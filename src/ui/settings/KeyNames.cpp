#include "ui/settings/KeyNames.h"

#include <QGuiApplication>

#include "hotkeys/HotkeyStore.h"

// Xlib last: its macros (None, Bool, Status...) would break Qt's headers.
#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace quillo {

namespace {

constexpr int kRightAltX11KeyCode = 108;

bool rightAltIsAltGr()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) {
        return false;
    }
    XkbStateRec state{};
    XkbGetState(x11->display(), XkbUseCoreKbd, &state);
    return XkbKeycodeToKeysym(x11->display(), kRightAltX11KeyCode, state.group, 0) == XK_ISO_Level3_Shift;
}

} // namespace

QString displayKeyName(int keyCode)
{
    return QString::fromStdString(HotkeyStore::keyName(keyCode, rightAltIsAltGr()));
}

} // namespace quillo
