#pragma once

#include <optional>
#include <set>

#include <QWidget>

class QKeyEvent;

namespace quillo {

// An invisible widget that holds the keyboard focus and turns raw key events
// into at most one captured key: a modifier key when it is released (and no
// other key of its family is still down), F5 to F12 when pressed. Escape
// cancels; every other key is ignored. Keys are reported by macOS virtual key
// code, as everywhere else in the program.
class KeyCaptureHelperView final : public QWidget
{
    Q_OBJECT

public:
    explicit KeyCaptureHelperView(QWidget* parent = nullptr);

    // The macOS virtual key code of a Qt key event, or nothing for keys the
    // program has no code for. The X server's hardware key code decides when
    // the event carries one, so the keys named here are the ones the global
    // key monitor sees; without it the keysym, then Qt's key, stand in.
    static std::optional<int> keyCode(const QKeyEvent& event);

signals:
    void captured(int keyCode, const QString& keyName);
    void cancelled();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void keyDown(const QKeyEvent& event);
    void keyUp(const QKeyEvent& event);
    void capture(int keyCode);

    std::set<int> m_modifiersDown; // codes of the modifier keys seen going down and not yet up
    bool m_finished = false;       // a key was captured or Escape pressed; later keys are ignored
};

} // namespace quillo
