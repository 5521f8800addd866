#pragma once

#include <vector>

#include <QAbstractButton>

class QPropertyAnimation;

namespace quillo {

// A compact rounded button with an optional tinted symbol before its text.
// Its colours come from the theme at paint time, so it follows a switch
// between light and dark palettes.
class PillButton final : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Kind
    {
        prominent,   // accent fill, white text: the screen's main action
        neutral,     // faint fill, secondary text
        destructive, // red-tinted fill, red text
        accent       // accent text, filled only under the pointer: an action within a card
    };

    PillButton(const QString& text, Kind kind, std::vector<const char*> symbol = {}, QWidget* parent = nullptr);

    void setPadding(int vertical, int horizontal);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fillColour() const;
    QColor textColour() const;

    Kind m_kind;
    std::vector<const char*> m_symbol;
    int m_paddingVertical = 6;
    int m_paddingHorizontal = 12;
};

// Shows `widget` by fading it in, or fades it out and then hides it. The
// widget keeps its place in the layout while hidden, so nothing around it
// moves when it appears.
void fadeWidget(QWidget* widget, bool visible);

} // namespace quillo
