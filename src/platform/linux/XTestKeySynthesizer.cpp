#include "platform/linux/XTestKeySynthesizer.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/linux/X11SyntheticKeys.h"

namespace quillo {

struct XTestKeySynthesizer::Connection
{
    Display* display = nullptr;
    // Spare keys lent to characters the layout lacks. They keep their
    // character after typing (applications may read the keys late), and get
    // their emptiness back when the connection closes.
    std::map<KeySym, KeyCode> lent;
    X11SyntheticKeys* ownKeys = nullptr; // told of every key Quillo presses

    ~Connection()
    {
        if (display) {
            for (const auto& [keysym, keycode] : lent) {
                if (holds(keycode, keysym)) {
                    mapKey(keycode, NoSymbol);
                }
            }
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

    void tap(const std::vector<KeyCode>& modifiers, KeyCode key)
    {
        for (const KeyCode modifier : modifiers) {
            send(modifier, true);
        }
        send(key, true);
        send(key, false);
        for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
            send(*modifier, false);
        }
        XSync(display, False);
    }

    // The key and shift level (0 or 1) that type `keysym` in `group` of
    // `keymap`.
    static std::optional<std::pair<KeyCode, int>> keyAndLevelFor(XkbDescPtr keymap, int group, KeySym keysym)
    {
        for (int level = 0; level < 2; ++level) {
            for (int keycode = keymap->min_key_code; keycode <= keymap->max_key_code; ++keycode) {
                if (group < XkbKeyNumGroups(keymap, keycode) && level < XkbKeyGroupWidth(keymap, keycode, group) &&
                    XkbKeySymEntry(keymap, keycode, level, group) == keysym) {
                    return std::pair{static_cast<KeyCode>(keycode), level};
                }
            }
        }
        return std::nullopt;
    }

    // Keys with no symbol at all, to lend characters the layout lacks.
    std::vector<KeyCode> unusedKeys() const
    {
        int minKeycode = 0;
        int maxKeycode = 0;
        XDisplayKeycodes(display, &minKeycode, &maxKeycode);
        int perKeycode = 0;
        KeySym* symbols =
            XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
        std::vector<KeyCode> found;
        if (!symbols) {
            return found;
        }
        // From the top: the low keycodes are the physical keys.
        for (int keycode = maxKeycode; keycode >= minKeycode; --keycode) {
            bool empty = true;
            for (int index = 0; index < perKeycode && empty; ++index) {
                empty = symbols[(keycode - minKeycode) * perKeycode + index] == NoSymbol;
            }
            if (empty) {
                found.push_back(static_cast<KeyCode>(keycode));
            }
        }
        XFree(symbols);
        return found;
    }

    void mapKey(KeyCode keycode, KeySym keysym)
    {
        KeySym both[2] = {keysym, keysym};
        XChangeKeyboardMapping(display, keycode, 2, both, 1);
        XSync(display, False);
    }

    // False once a new layout has replaced what this program mapped.
    bool holds(KeyCode keycode, KeySym keysym) const
    {
        int perKeycode = 0;
        KeySym* symbols = XGetKeyboardMapping(display, keycode, 1, &perKeycode);
        const bool same = symbols && perKeycode > 0 && symbols[0] == keysym;
        if (symbols) {
            XFree(symbols);
        }
        return same;
    }

    // Lends spare keys to the characters of `needed` (in order of use) that
    // have none, taking back keys lent to characters no longer needed.
    void lendKeys(const std::vector<KeySym>& needed)
    {
        const auto isNeeded = [&needed](KeySym keysym) {
            return std::find(needed.begin(), needed.end(), keysym) != needed.end();
        };
        std::erase_if(lent, [this](const auto& entry) { return !holds(entry.second, entry.first); });
        std::vector<KeyCode> pool = unusedKeys();
        for (auto entry = lent.begin(); entry != lent.end();) {
            if (isNeeded(entry->first)) {
                ++entry;
            } else {
                pool.push_back(entry->second);
                entry = lent.erase(entry);
            }
        }
        auto next = pool.begin(); // the highest keycodes first
        for (const KeySym keysym : needed) {
            if (next == pool.end()) {
                break;
            }
            if (!lent.contains(keysym)) {
                lent[keysym] = *next;
                mapKey(*next, keysym);
                ++next;
            }
        }
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

namespace {

// A UTF-8 text as code points; a broken sequence reads as U+FFFD.
std::vector<char32_t> codePoints(const std::string& text)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            point = (point << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        }
        out.push_back(point);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

KeySym keysymFor(char32_t point)
{
    if (point == '\n' || point == '\r') {
        return XK_Return;
    }
    if (point == '\t') {
        return XK_Tab;
    }
    // Latin-1 keysyms equal their code points; the rest live in the Unicode range.
    if ((point >= 0x20 && point <= 0x7E) || (point >= 0xA0 && point <= 0xFF)) {
        return static_cast<KeySym>(point);
    }
    return static_cast<KeySym>(0x01000000 | point);
}

// Applications translate a key when they read its event, with the keymap they
// know then, which may be long after it was sent: a lent key keeps its
// character until well after its last use.
constexpr std::chrono::milliseconds kRelendSettle{500};

} // namespace

void XTestKeySynthesizer::pressPaste(PasteKeys keys)
{
    if (!m_connection) {
        return;
    }
    const auto control = m_connection->keyFor(XK_Control_L);
    const auto shift = m_connection->keyFor(XK_Shift_L);
    switch (keys) {
    case PasteKeys::ctrlV:
    case PasteKeys::ctrlShiftV: {
        const auto v = m_connection->keyFor(XK_v);
        if (!control || !v || (keys == PasteKeys::ctrlShiftV && !shift)) {
            return;
        }
        m_connection->tap(keys == PasteKeys::ctrlV ? std::vector{*control} : std::vector{*control, *shift}, *v);
        return;
    }
    case PasteKeys::shiftInsert:
        if (const auto insert = m_connection->keyFor(XK_Insert); insert && shift) {
            m_connection->tap({*shift}, *insert);
        }
        return;
    }
}

void XTestKeySynthesizer::typeText(const std::string& text)
{
    if (!m_connection) {
        return;
    }
    Display* display = m_connection->display;
    const auto shift = m_connection->keyFor(XK_Shift_L);
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    // Read once: the only change while typing is the lent key, tracked below.
    XkbDescPtr keymap = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!keymap) {
        return;
    }
    // Each character's key and shift level; nothing where the layout lacks it.
    std::vector<KeySym> keysyms;
    std::vector<std::optional<std::pair<KeyCode, int>>> keys;
    for (const char32_t point : codePoints(text)) {
        keysyms.push_back(keysymFor(point));
        auto key = Connection::keyAndLevelFor(keymap, state.group, keysyms.back());
        keys.push_back(key && (key->second == 0 || shift) ? key : std::nullopt);
    }
    XkbFreeKeyboard(keymap, 0, True);

    // The characters from `from` on that need a lent key, in order of use.
    const auto missingFrom = [&](std::size_t from) {
        std::vector<KeySym> missing;
        for (std::size_t index = from; index < keysyms.size(); ++index) {
            if (!keys[index] && std::find(missing.begin(), missing.end(), keysyms[index]) == missing.end()) {
                missing.push_back(keysyms[index]);
            }
        }
        return missing;
    };
    auto& lent = m_connection->lent;
    m_connection->lendKeys(missingFrom(0));
    for (std::size_t index = 0; index < keysyms.size(); ++index) {
        if (keys[index]) {
            m_connection->tap(keys[index]->second == 0 ? std::vector<KeyCode>{} : std::vector{*shift},
                              keys[index]->first);
            continue;
        }
        if (!lent.contains(keysyms[index])) {
            // More missing characters than spare keys: once the keys typed so
            // far have surely been read, lend them anew.
            std::this_thread::sleep_for(kRelendSettle);
            m_connection->lendKeys(missingFrom(index));
        }
        if (const auto key = lent.find(keysyms[index]); key != lent.end()) {
            m_connection->tap({}, key->second);
        }
    }
}

void XTestKeySynthesizer::pressReturn()
{
    if (!m_connection) {
        return;
    }
    if (const auto enter = m_connection->keyFor(XK_Return)) {
        m_connection->tap({}, *enter);
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
