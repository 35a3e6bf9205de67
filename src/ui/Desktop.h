#pragma once
// What a Linux desktop brings that the program's files and habits assume:
// the Japanese fonts its projects name, and Shift+F10 for the context menu.

namespace ui {

// Projects name Windows fonts ("ＭＳ ゴシック" and its kin), which a Linux
// desktop does not have: each resolves to an installed Japanese font of the
// same kind (fixed pitch, proportional, serif) instead of whatever the
// fallback picks glyph by glyph. The stored name stays as it is. Before the
// first window; more calls do nothing.
void SubstituteWindowsFonts();

// Shift+F10 opens the context menu of the widget with the keyboard focus, as
// the Menu key does. Once for the application; more calls do nothing.
void OpenContextMenusWithShiftF10();

} // namespace ui
