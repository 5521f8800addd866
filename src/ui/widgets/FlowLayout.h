#pragma once

#include <vector>

#include <QLayout>

namespace quillo {

// Lays its items out left to right, starting a new line when the next item
// would not fit the width; the height follows the number of lines.
class FlowLayout final : public QLayout
{
public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (only measures when `apply` is false) and
    // returns the height they take.
    int arrange(const QRect& rect, bool apply) const;

    std::vector<QLayoutItem*> m_items;
    int m_spacing;
};

} // namespace quillo
