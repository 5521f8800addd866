#pragma once

#include <QAbstractButton>

namespace quillo {

// An on/off switch: a rounded track, accent-filled when on, with a round knob
// at the end that is on. Checkable; `toggled` reports each change.
class ToggleSwitch final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quillo
