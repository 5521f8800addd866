#include "ui/settings/KeyCaptureOverlay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <vector>

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

constexpr Key kLeftShift{"Left Shift", 50, 0xffe1, Qt::Key_Shift};
constexpr Key kRightShift{"Right Shift", 62, 0xffe2, Qt::Key_Shift};
constexpr Key kRightCtrl{"Right Control", 105, 0xffe4, Qt::Key_Control};
constexpr Key kRightCtrlKeysymOnly{"Right Control", 0, 0xffe4, Qt::Key_Control};
constexpr Key kF11{"F11", 95, 0xffc8, Qt::Key_F11};
constexpr Key kF11QtOnly{"F11", 0, 0, Qt::Key_F11};
constexpr Key kEscape{"Escape", 9, 0xff1b, Qt::Key_Escape};
constexpr Key kTab{"Tab", 23, 0xff09, Qt::Key_Tab};

// '+' presses, '-' releases, 'r' auto-repeats.
struct Step
{
    char action;
    Key key;
};

struct Case
{
    const char* name;
    std::vector<Step> steps;
    int capturedAtStep = -1; // the step after which the one capture is there; -1: none
    int code = 0;
    const char* keyName = nullptr;
    bool cancelled = false;
};

std::vector<Step> typed(std::initializer_list<Key> keys)
{
    std::vector<Step> steps;
    for (const Key& key : keys) {
        steps.push_back({'+', key});
        steps.push_back({'-', key});
    }
    return steps;
}

std::vector<Step> ignoredKeysThenRightControl()
{
    // Each with and without native codes.
    std::vector<Step> steps = typed({{"A", 38, 0x61, Qt::Key_A},
                                     {"A", 0, 0, Qt::Key_A},
                                     {"Return", 36, 0xff0d, Qt::Key_Return},
                                     {"Return", 0, 0, Qt::Key_Return},
                                     {"Caps Lock", 66, 0xffe5, Qt::Key_CapsLock},
                                     {"Caps Lock", 0, 0, Qt::Key_CapsLock}});
    // Tab stays here too rather than moving the focus to the screen below.
    steps.push_back({'+', kTab});
    steps.push_back({'+', kRightCtrl});
    steps.push_back({'-', kRightCtrl});
    return steps;
}

TEST(KeyCaptureOverlayTest, CapturesOneKeyWithItsSideOrCancels)
{
    const Case cases[] = {
        {"of twin modifiers the last released counts",
         {{'+', kLeftShift}, {'+', kRightShift}, {'-', kLeftShift}, {'-', kRightShift}},
         3,
         keycode::rightShift,
         "Right Shift"},
        {"without a hardware code the keysym tells the side", typed({kRightCtrlKeysymOnly}), 1, keycode::rightControl},
        {"F11 is captured on press and only once", {{'+', kF11}, {'r', kF11}, {'-', kF11}}, 0, keycode::f11, "F11"},
        {"F11 from the Qt key alone", {{'+', kF11QtOnly}, {'r', kF11QtOnly}, {'-', kF11QtOnly}}, 0, keycode::f11},
        {"escape cancels", typed({kEscape}), -1, 0, nullptr, true},
        {"other keys are ignored and the overlay stays open", ignoredKeysThenRightControl(), 14, keycode::rightControl},
    };
    QWidget host;
    host.resize(800, 600);
    host.show();
    QApplication::setActiveWindow(&host);
    for (const Case& c : cases) {
        KeyCaptureOverlay overlay(&host);
        QSignalSpy captured(&overlay, &KeyCaptureOverlay::captured);
        QSignalSpy cancelled(&overlay, &KeyCaptureOverlay::cancelled);
        EXPECT_EQ(overlay.geometry(), host.rect()) << "case " << c.name;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            // To whichever widget has the keyboard focus, as the window system would.
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(qobject_cast<KeyCaptureHelperView*>(target), nullptr) << "case " << c.name << ", step " << i;
            QKeyEvent event(step.action == '-' ? QEvent::KeyRelease : QEvent::KeyPress,
                            step.key.qtKey,
                            Qt::NoModifier,
                            step.key.scanCode,
                            step.key.keysym,
                            0,
                            QString(),
                            step.action == 'r');
            QApplication::sendEvent(target, &event);
            const int expected = c.capturedAtStep >= 0 && static_cast<int>(i) >= c.capturedAtStep ? 1 : 0;
            ASSERT_EQ(captured.count(), expected) << "case " << c.name << ", step " << i;
        }
        if (c.capturedAtStep >= 0) {
            EXPECT_EQ(captured[0][0].toInt(), c.code) << "case " << c.name;
            if (c.keyName) {
                EXPECT_EQ(captured[0][1].toString(), QString::fromUtf8(c.keyName)) << "case " << c.name;
            }
        }
        EXPECT_EQ(cancelled.count(), c.cancelled ? 1 : 0) << "case " << c.name;
    }
}

} // namespace
} // namespace quillo
