#include "ui/settings/KeyCaptureOverlay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "base/KeyCodes.h"
#include "ui/settings/KeyCaptureHelperView.h"

namespace quillo {
namespace {

// One physical key as the X server reports it to Qt: hardware code, keysym
// and Qt key. Zero codes stand for a platform that gives no native codes.
struct Key
{
    const char* name;
    quint32 scanCode;
    quint32 keysym;
    int qtKey;
};

constexpr Key kRightAlt{"Right Alt", 108, 0xffea, Qt::Key_Alt};
constexpr Key kLeftShift{"Left Shift", 50, 0xffe1, Qt::Key_Shift};
constexpr Key kRightShift{"Right Shift", 62, 0xffe2, Qt::Key_Shift};
constexpr Key kRightCtrl{"Right Control", 105, 0xffe4, Qt::Key_Control};
constexpr Key kF11{"F11", 95, 0xffc8, Qt::Key_F11};
constexpr Key kEscape{"Escape", 9, 0xff1b, Qt::Key_Escape};
constexpr Key kA{"A", 38, 0x61, Qt::Key_A};
constexpr Key kReturn{"Return", 36, 0xff0d, Qt::Key_Return};
constexpr Key kCapsLock{"Caps Lock", 66, 0xffe5, Qt::Key_CapsLock};

class KeyCaptureOverlayTest : public ::testing::Test
{
protected:
    KeyCaptureOverlay* makeOverlay()
    {
        host.resize(800, 600);
        host.show();
        QApplication::setActiveWindow(&host);
        return new KeyCaptureOverlay(&host);
    }

    // Sends the event to whichever widget has the keyboard focus, as the
    // window system would.
    void send(QEvent::Type type, const Key& key, bool native = true, bool autoRepeat = false)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent event(type,
                        key.qtKey,
                        Qt::NoModifier,
                        native ? key.scanCode : 0,
                        native ? key.keysym : 0,
                        0,
                        QString(),
                        autoRepeat);
        QApplication::sendEvent(target, &event);
    }
    void press(const Key& key, bool native = true) { send(QEvent::KeyPress, key, native); }
    void release(const Key& key, bool native = true) { send(QEvent::KeyRelease, key, native); }

    QWidget host;
    KeyCaptureOverlay* overlay = makeOverlay();
    QSignalSpy captured{overlay, &KeyCaptureOverlay::captured};
    QSignalSpy cancelled{overlay, &KeyCaptureOverlay::cancelled};
};

TEST_F(KeyCaptureOverlayTest, TheHelperHasTheKeyboardFocus)
{
    EXPECT_EQ(overlay->geometry(), host.rect());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_NE(qobject_cast<KeyCaptureHelperView*>(QApplication::focusWidget()), nullptr);
}

TEST_F(KeyCaptureOverlayTest, AModifierIsCapturedOnReleaseWithItsSide)
{
    press(kRightAlt);
    EXPECT_EQ(captured.count(), 0) << "captured on press";
    release(kRightAlt);
    ASSERT_EQ(captured.count(), 1);
    EXPECT_EQ(captured[0][0].toInt(), keycode::rightOption);
    EXPECT_EQ(captured[0][1].toString(), QStringLiteral("Right Alt"));
    EXPECT_EQ(cancelled.count(), 0);
}

TEST_F(KeyCaptureOverlayTest, TwinModifiersReportOnlyTheLastReleased)
{
    press(kLeftShift);
    press(kRightShift);
    release(kLeftShift);
    EXPECT_EQ(captured.count(), 0) << "Right Shift still holds the Shift flag";
    release(kRightShift);
    ASSERT_EQ(captured.count(), 1);
    EXPECT_EQ(captured[0][0].toInt(), keycode::rightShift);
}

TEST_F(KeyCaptureOverlayTest, WithoutAHardwareCodeTheKeysymStillTellsTheSide)
{
    QKeyEvent pressEvent(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, 0, kRightCtrl.keysym, 0);
    QKeyEvent releaseEvent(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, 0, kRightCtrl.keysym, 0);
    QApplication::sendEvent(QApplication::focusWidget(), &pressEvent);
    QApplication::sendEvent(QApplication::focusWidget(), &releaseEvent);
    ASSERT_EQ(captured.count(), 1);
    EXPECT_EQ(captured[0][0].toInt(), keycode::rightControl);
}

TEST_F(KeyCaptureOverlayTest, F11IsCapturedOnPressAndOnlyOnce)
{
    for (const bool native : {true, false}) {
        KeyCaptureOverlay fresh(&host);
        QSignalSpy freshCaptured(&fresh, &KeyCaptureOverlay::captured);
        press(kF11, native);
        send(QEvent::KeyPress, kF11, native, true); // auto-repeat
        release(kF11, native);
        ASSERT_EQ(freshCaptured.count(), 1) << (native ? "X11 codes" : "Qt key only");
        EXPECT_EQ(freshCaptured[0][0].toInt(), keycode::f11);
        EXPECT_EQ(freshCaptured[0][1].toString(), QStringLiteral("F11"));
    }
}

TEST_F(KeyCaptureOverlayTest, EscapeCancelsAndCapturesNothing)
{
    press(kEscape);
    release(kEscape);
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(captured.count(), 0);
}

TEST_F(KeyCaptureOverlayTest, OtherKeysAreIgnoredAndTheOverlayStaysOpen)
{
    for (const Key& key : {kA, kReturn, kCapsLock}) {
        for (const bool native : {true, false}) {
            press(key, native);
            release(key, native);
            EXPECT_EQ(captured.count(), 0) << key.name << (native ? "" : " without native codes");
        }
    }
    // Tab stays here too rather than moving the focus to the screen below.
    press(Key{"Tab", 23, 0xff09, Qt::Key_Tab});
    EXPECT_NE(qobject_cast<KeyCaptureHelperView*>(QApplication::focusWidget()), nullptr);
    EXPECT_EQ(cancelled.count(), 0);

    press(kRightCtrl);
    release(kRightCtrl);
    ASSERT_EQ(captured.count(), 1);
    EXPECT_EQ(captured[0][0].toInt(), keycode::rightControl);
}

} // namespace
} // namespace quillo
