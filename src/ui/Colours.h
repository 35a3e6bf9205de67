#pragma once
// The program's own light backgrounds (the memo's cream, the tree's and the
// catalogue's pale yellow) on any desktop: a dark theme's near-white text
// would vanish on them, so a widget given one of them gets text and
// selection colours that read on it. Otherwise a widget follows the
// desktop's palette in full.
#include <QColor>

class QPalette;
class QWidget;

namespace ui {

// Contrast ratio of two colours as WCAG defines it: 1 (none) to 21.
double Contrast(const QColor &a, const QColor &b);

// `desktop` with the background `base` and text, placeholder and selection
// colours that keep a contrast of at least 4.5:1 on it (the desktop's own
// where they already do). With `selectionAlwaysShown` the selection looks
// the same while another widget has the focus.
QPalette OwnColourPalette(const QPalette &desktop, const QColor &base, bool selectionAlwaysShown);

// Gives `w` that palette, made again whenever the desktop's palette changes
// (a switch to a dark theme while the program runs).
void UseOwnColours(QWidget *w, const QColor &base, bool selectionAlwaysShown = false);

// `w` follows the desktop's palette in full again.
void UseDesktopColours(QWidget *w);

} // namespace ui
