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
    quint32 scanCode;
    quint32 keysym;
    int qtKey;
};

constexpr Key kLeftShift{50, 0xffe1, Qt::Key_Shift};
constexpr Key kRightShift{62, 0xffe2, Qt::Key_Shift};
constexpr Key kRightCtrl{105, 0xffe4, Qt::Key_Control};
constexpr Key kF11{95, 0xffc8, Qt::Key_F11};
constexpr Key kF11QtOnly{0, 0, Qt::Key_F11};

// '+' presses, '-' releases, 'r' auto-repeats.
struct Step
{
    char action;
    Key key;
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

TEST(KeyCaptureOverlayTest, CapturesOneKeyWithItsSideOrCancels)
{
    // A letter with and without native codes, Return, Caps Lock, then Tab,
    // which stays here rather than moving the focus to the screen below.
    std::vector<Step> ignored =
        typed({{38, 0x61, Qt::Key_A}, {0, 0, Qt::Key_A}, {36, 0xff0d, Qt::Key_Return}, {66, 0xffe5, Qt::Key_CapsLock}});
    ignored.insert(ignored.end(), {{'+', {23, 0xff09, Qt::Key_Tab}}, {'+', kRightCtrl}, {'-', kRightCtrl}});
    const struct
    {
        const char* name;
        std::vector<Step> steps;
        int capturedAtStep; // the step after which the one capture is there; -1: none, cancelled instead
        int code;
        const char* keyName;
    } cases[] = {
        {"of twin modifiers the last released counts",
         {{'+', kLeftShift}, {'+', kRightShift}, {'-', kLeftShift}, {'-', kRightShift}},
         3,
         keycode::rightShift,
         "Right Shift"},
        {"without a hardware code the keysym tells the side",
         typed({{0, 0xffe4, Qt::Key_Control}}),
         1,
         keycode::rightControl,
         nullptr},
        {"F11 is captured on press and only once", {{'+', kF11}, {'r', kF11}, {'-', kF11}}, 0, keycode::f11, "F11"},
        {"F11 from the Qt key alone",
         {{'+', kF11QtOnly}, {'r', kF11QtOnly}, {'-', kF11QtOnly}},
         0,
         keycode::f11,
         nullptr},
        {"escape cancels", typed({{9, 0xff1b, Qt::Key_Escape}}), -1, 0, nullptr},
        {"other keys are ignored and the overlay stays open", ignored, 10, keycode::rightControl, nullptr},
    };
    QWidget host;
    host.resize(800, 600);
    host.show();
    QApplication::setActiveWindow(&host);
    for (const auto& c : cases) {
        KeyCaptureOverlay overlay(&host);
        QSignalSpy captured(&overlay, &KeyCaptureOverlay::captured);
        QSignalSpy cancelled(&overlay, &KeyCaptureOverlay::cancelled);
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
        EXPECT_EQ(cancelled.count(), c.capturedAtStep < 0 ? 1 : 0) << "case " << c.name;
    }
}

} // namespace
} // namespace quillo
