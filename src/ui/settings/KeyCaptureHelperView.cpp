#include "ui/settings/KeyCaptureHelperView.h"

#include <cstdint>

#include <QKeyEvent>

#include "base/KeyCodes.h"
#include "hotkeys/HotkeyStore.h"
#include "platform/KeyEventSource.h"
#include "ui/settings/KeyNames.h"

namespace quillo {

namespace {

bool isFunctionKey(int code)
{
    switch (code) {
    case keycode::f5:
    case keycode::f6:
    case keycode::f7:
    case keycode::f8:
    case keycode::f9:
    case keycode::f10:
    case keycode::f11:
    case keycode::f12:
        return true;
    default:
        return false;
    }
}

// X keysyms of the keys that matter here, for events without a hardware code.
std::optional<int> fromKeysym(quint32 keysym)
{
    switch (keysym) {
    case 0xffe1: // Shift_L
        return keycode::leftShift;
    case 0xffe2: // Shift_R
        return keycode::rightShift;
    case 0xffe3: // Control_L
        return keycode::leftControl;
    case 0xffe4: // Control_R
        return keycode::rightControl;
    case 0xffe7: // Meta_L
    case 0xffeb: // Super_L
        return keycode::leftCommand;
    case 0xffe8: // Meta_R
    case 0xffec: // Super_R
        return keycode::rightCommand;
    case 0xffe9: // Alt_L
        return keycode::leftOption;
    case 0xffea: // Alt_R
    case 0xfe03: // ISO_Level3_Shift, what many layouts put on Right Alt
        return keycode::rightOption;
    default:
        return std::nullopt;
    }
}

// Qt's key alone cannot tell left from right: the unsided modifiers count as
// the left key, the common one, and AltGr as Right Alt, where it sits.
std::optional<int> fromQtKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        return keycode::escape;
    case Qt::Key_Return:
        return keycode::returnKey;
    case Qt::Key_CapsLock:
        return keycode::capsLock;
    case Qt::Key_Shift:
        return keycode::leftShift;
    case Qt::Key_Control:
        return keycode::leftControl;
    case Qt::Key_Alt:
        return keycode::leftOption;
    case Qt::Key_AltGr:
        return keycode::rightOption;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return keycode::leftCommand;
    case Qt::Key_Super_R:
        return keycode::rightCommand;
    case Qt::Key_F5:
        return keycode::f5;
    case Qt::Key_F6:
        return keycode::f6;
    case Qt::Key_F7:
        return keycode::f7;
    case Qt::Key_F8:
        return keycode::f8;
    case Qt::Key_F9:
        return keycode::f9;
    case Qt::Key_F10:
        return keycode::f10;
    case Qt::Key_F11:
        return keycode::f11;
    case Qt::Key_F12:
        return keycode::f12;
    default:
        return std::nullopt;
    }
}

} // namespace

KeyCaptureHelperView::KeyCaptureHelperView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("keyCaptureHelper"));
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(1, 1);
}

std::optional<int> KeyCaptureHelperView::keyCode(const QKeyEvent& event)
{
    // A hardware code the key monitor cannot name is a key it cannot watch:
    // no fallback may turn it into one.
    if (event.nativeScanCode() != 0) {
        return macKeyCodeFromXkb(static_cast<int>(event.nativeScanCode()));
    }
    if (event.nativeVirtualKey() != 0) {
        if (const auto code = fromKeysym(event.nativeVirtualKey())) {
            return code;
        }
    }
    return fromQtKey(event.key());
}

bool KeyCaptureHelperView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claim every key so no shortcut of the window fires under the overlay.
        event->accept();
        return true;
    case QEvent::KeyPress:
        // Handled here, before QWidget turns Tab into a focus move.
        keyDown(*static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::KeyRelease:
        keyUp(*static_cast<QKeyEvent*>(event));
        return true;
    default:
        return QWidget::event(event);
    }
}

void KeyCaptureHelperView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus(Qt::OtherFocusReason);
}

void KeyCaptureHelperView::keyDown(const QKeyEvent& event)
{
    const auto code = keyCode(event);
    if (!code || m_finished) {
        return;
    }
    if (modifierFamilyFlag(*code)) {
        m_modifiersDown.insert(*code);
    } else if (*code == keycode::escape) {
        m_finished = true;
        emit cancelled();
    } else if (isFunctionKey(*code)) {
        capture(*code);
    }
}

void KeyCaptureHelperView::keyUp(const QKeyEvent& event)
{
    // An auto-repeating key sends a release before each repeated press; the
    // key is still held.
    if (event.isAutoRepeat()) {
        return;
    }
    const auto code = keyCode(event);
    if (!code || m_finished) {
        return;
    }
    const auto flag = modifierFamilyFlag(*code);
    if (!flag) {
        return;
    }
    m_modifiersDown.erase(*code);
    for (int down : m_modifiersDown) {
        if (modifierFamilyFlag(down) == flag) {
            return; // the twin key still holds the family's flag
        }
    }
    capture(*code);
}

void KeyCaptureHelperView::capture(int code)
{
    m_finished = true;
    emit captured(code, displayKeyName(code));
}

} // namespace quillo
