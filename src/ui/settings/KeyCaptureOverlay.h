#pragma once

#include "ui/widgets/ModalBackdrop.h"

namespace quillo {

class KeyCaptureHelperView;

// The panel that asks for one key to bind: covers `host`, takes the keyboard
// focus and reports the first acceptable key, or Escape. It grabs nothing, so
// the global hotkeys keep working while it is open. The owner deletes it.
class KeyCaptureOverlay final : public ModalBackdrop
{
    Q_OBJECT

public:
    explicit KeyCaptureOverlay(QWidget* host);

signals:
    void captured(int keyCode, const QString& keyName); // keyCode as in platform/KeyCodes.h
    void cancelled();                                   // Escape

private:
    KeyCaptureHelperView* m_helper;
};

} // namespace quillo
