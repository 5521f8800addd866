#pragma once

#include <QWidget>

#include "store/HeatmapModel.h"

class QToolButton;

namespace quillo {

class DataStore;

// The activity calendar: 22 Sunday-to-Saturday week columns of words per day,
// month names above, day names on the left, the current streak outlined and a
// legend below. The chevrons page back through older weeks and forward again.
class HeatmapView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kCellSize = 16;
    static constexpr int kGap = 4;
    static constexpr int kLabelColumn = 36;
    static constexpr int kLabelGap = 10;
    static constexpr int kButtonSize = 24;

    explicit HeatmapView(DataStore& store, QWidget* parent = nullptr);

    int page() const { return m_model.page; }
    const HeatmapModel& model() const { return m_model; }
    QToolButton* olderButton() const { return m_older; }
    QToolButton* newerButton() const { return m_newer; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The cell colour of a level, 0 to 4.
    static QColor levelColour(int level, const QPalette& palette);

    // Shows a page computed elsewhere (for the page shown now).
    void setModel(HeatmapModel model);
    // Back to page 0; the caller computes it.
    void showCurrentWeeks() { m_model.page = 0; }

public slots:
    // Rebuilds the current page from the store.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showPage(int page);
    void updateButtonIcons();
    int gridTop() const;
    int gridLeft() const { return kLabelColumn + kLabelGap; }
    int gridWidth() const;
    int newerButtonLeft() const;

    DataStore& m_store;
    HeatmapModel m_model;
    QToolButton* m_older;
    QToolButton* m_newer;
};

} // namespace quillo
