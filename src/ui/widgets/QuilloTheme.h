#pragma once

#include <vector>

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

class QPainter;
class QRectF;

namespace quillo {

// The colours and font sizes every main-window screen uses. Colours derive
// from the widget's palette, so a light and a dark desktop theme both work;
// only the accent and the heatmap's empty cell are fixed.
namespace theme {

QColor accent();
// The accent for text: darker on a light palette, lighter on a dark one, so
// it keeps a 4.5:1 contrast on cards either way.
QColor accentText(const QPalette& palette);
// Red text of a destructive action, readable on both palettes.
QColor dangerText(const QPalette& palette);
QColor accentSoft();
QColor green();
QColor red();
QColor textPrimary(const QPalette& palette);
QColor textSecondary(const QPalette& palette);
QColor textTertiary(const QPalette& palette);
QColor sidebarBg(const QPalette& palette);
QColor contentBg(const QPalette& palette);
QColor cardBg(const QPalette& palette);
QColor cardBorder(const QPalette& palette);
QColor cardShadow();
QColor rowSelected(const QPalette& palette);
QColor rowHover(const QPalette& palette);
QColor keycapBg(const QPalette& palette);
// The heatmap's level-0 cell: a light grey that stays visible on dark cards.
QColor emptyCell(const QPalette& palette);
bool isDark(const QPalette& palette);

inline constexpr int bodySize = 19;
inline constexpr int captionSize = 16;
inline constexpr int microSize = 15;
inline constexpr int sidebarSize = 19;
inline constexpr int sectionHeadSize = 15;
inline constexpr int pageTitleSize = 29;
inline constexpr int statValueSize = 32;
// Screens take their sizes as pixels: the numbers are tuned for a 1x display.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

// The first of `names` the icon theme has (or, for a name starting with ":",
// the compiled-in icon), drawn in one colour (symbolic icons are masks),
// `size` pixels square; an empty pixmap when none exists.
QPixmap tintedIcon(const std::vector<const char*>& names, const QColor& color, int size, qreal devicePixelRatio = 1);

// A rounded card: optional shadow `shadowRadius` blurred and one pixel down,
// `cardBg` fill and a hairline `cardBorder` outline.
void paintCard(QPainter& painter, const QRectF& rect, const QPalette& palette, qreal radius, qreal shadowRadius = 3);

// The keyboard focus ring of the flat controls (pills, drop-downs): a soft
// accent outline just inside `rect`.
void paintFocusRing(QPainter& painter, const QRectF& rect, qreal radius);

} // namespace theme
} // namespace quillo
