#pragma once

#include <QComboBox>

namespace quillo {

// A drop-down drawn like the neutral pill buttons next to it (faint rounded
// fill, secondary text, a chevron) instead of the platform style's bevelled
// box. The list it opens is the platform's own, so keyboard and screen
// readers work as with any combo box.
class PickerBox final : public QComboBox
{
    Q_OBJECT

public:
    explicit PickerBox(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quillo
