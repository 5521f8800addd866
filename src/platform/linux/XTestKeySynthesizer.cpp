#include "platform/linux/XTestKeySynthesizer.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <optional>

#include "platform/linux/X11SyntheticKeys.h"

namespace quillo {

struct XTestKeySynthesizer::Connection
{
    Display* display = nullptr;
    X11SyntheticKeys* ownKeys = nullptr;

    ~Connection()
    {
        if (display) {
            XCloseDisplay(display);
        }
    }

    // The key that types `keysym` without Shift in the layout group in use,
    // else in any group, else whatever the core keymap offers.
    std::optional<KeyCode> keyFor(KeySym keysym) const
    {
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        const int activeGroup = state.group;

        std::optional<KeyCode> found;
        if (XkbDescPtr keymap = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd)) {
            const auto levelOneSymbol = [keymap](int keycode, int group) -> KeySym {
                const int groups = XkbKeyNumGroups(keymap, keycode);
                if (group >= groups) {
                    return NoSymbol;
                }
                return XkbKeySymEntry(keymap, keycode, 0, group);
            };
            for (int pass = 0; pass < 2 && !found; ++pass) {
                for (int keycode = keymap->min_key_code; keycode <= keymap->max_key_code && !found; ++keycode) {
                    if (pass == 0) {
                        if (levelOneSymbol(keycode, activeGroup) == keysym) {
                            found = static_cast<KeyCode>(keycode);
                        }
                        continue;
                    }
                    for (int group = 0; group < XkbNumKbdGroups && !found; ++group) {
                        if (levelOneSymbol(keycode, group) == keysym) {
                            found = static_cast<KeyCode>(keycode);
                        }
                    }
                }
            }
            XkbFreeKeyboard(keymap, 0, True);
        }
        if (!found) {
            if (const KeyCode core = XKeysymToKeycode(display, keysym); core != 0) {
                found = core;
            }
        }
        return found;
    }

    void send(KeyCode key, bool press)
    {
        if (ownKeys) {
            ownKeys->announce(key, press);
        }
        XTestFakeKeyEvent(display, key, press ? True : False, CurrentTime);
    }

    void tap(std::optional<KeyCode> modifier, KeyCode key)
    {
        if (modifier) {
            send(*modifier, true);
        }
        send(key, true);
        send(key, false);
        if (modifier) {
            send(*modifier, false);
        }
        XSync(display, False);
    }
};

XTestKeySynthesizer::XTestKeySynthesizer(const char* displayName, X11SyntheticKeys* ownKeys)
{
    auto connection = std::make_unique<Connection>();
    connection->ownKeys = ownKeys;
    connection->display = XOpenDisplay(displayName);
    if (!connection->display) {
        return;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(connection->display, &eventBase, &errorBase, &major, &minor)) {
        return;
    }
    m_connection = std::move(connection);
}

XTestKeySynthesizer::~XTestKeySynthesizer() = default;

bool XTestKeySynthesizer::isAvailable() const
{
    return m_connection != nullptr;
}

void XTestKeySynthesizer::pressPaste()
{
    if (!m_connection) {
        return;
    }
    const auto control = m_connection->keyFor(XK_Control_L);
    const auto v = m_connection->keyFor(XK_v);
    if (control && v) {
        m_connection->tap(control, *v);
    }
}

void XTestKeySynthesizer::pressReturn()
{
    if (!m_connection) {
        return;
    }
    if (const auto enter = m_connection->keyFor(XK_Return)) {
        m_connection->tap(std::nullopt, *enter);
    }
}

bool XTestKeySynthesizer::modifiersHeld()
{
    if (!m_connection) {
        return false;
    }
    Display* display = m_connection->display;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    XModifierKeymap* modifiers = XGetModifierMapping(display);
    if (!modifiers) {
        return false;
    }
    bool held = false;
    for (int index = 0; index < 8 && !held; ++index) {
        if (index == LockMapIndex) {
            continue;
        }
        for (int slot = 0; slot < modifiers->max_keypermod && !held; ++slot) {
            const KeyCode keycode = modifiers->modifiermap[index * modifiers->max_keypermod + slot];
            if (keycode == 0 || XkbKeycodeToKeysym(display, keycode, 0, 0) == XK_Num_Lock) {
                continue;
            }
            held = (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
        }
    }
    XFreeModifiermap(modifiers);
    return held;
}

} // namespace quillo
