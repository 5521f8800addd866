#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QPoint>

#include "platform/RecordingIndicator.h"

class QWidget;

namespace quillo {

// The "Recording…" pill: a borderless window of 195 × 54 points, centred
// horizontally 100 points above the bottom edge of the primary screen, with a
// red dot that pulses between 0.85 and 1.25 of its size and the word
// "Recording…" on a black capsule at 0.82 opacity.
//
// On X11 it is an override-redirect window, so the window manager never
// focuses, decorates, lists or cycles through it, and it shows on every
// workspace. It takes no keyboard focus and no mouse input (clicks fall
// through to the window beneath), so typing carries on in the front
// application while it shows. Each show() raises it above the other windows.
//
// The window is built once, in the constructor, and reused by every show();
// the pulse runs only while it is visible.
//
// Needs a QApplication; main thread only.
class RecordingIndicatorWindow final : public RecordingIndicator
{
public:
    static constexpr int kWidth = 195;
    static constexpr int kHeight = 54;
    static constexpr int kBottomMargin = 100;

    // What the window asks the desktop; each may be empty.
    struct Desktop
    {
        // Whether translucent windows are drawn; without, the window is cut to
        // the capsule's shape. Empty: assume not (a cut shape looks right
        // everywhere, see-through corners only with a compositor).
        std::function<bool()> compositorRunning;
        // The centre of the focused window in screen coordinates, to show on
        // the screen the user works on. Empty or nothing: the pointer's screen.
        std::function<std::optional<QPoint>()> focusedWindowCentre;
    };

    explicit RecordingIndicatorWindow(Desktop desktop = {});
    ~RecordingIndicatorWindow() override;

    RecordingIndicatorWindow(const RecordingIndicatorWindow&) = delete;
    RecordingIndicatorWindow& operator=(const RecordingIndicatorWindow&) = delete;

    void show() override;
    void hide() override;

    // The window itself, for tests.
    QWidget* widget() const;

private:
    class Pill;
    std::unique_ptr<Pill> m_pill;
};

} // namespace quillo
