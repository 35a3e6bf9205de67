#pragma once
// Window places read from settings files are only a wish: a damaged or
// foreign file, or a screen that is gone, must not put a window out of reach.
#include <QRect>

namespace ui {

// Smallest size a restored window is given (less when the screen is smaller).
inline constexpr int kMinWindowWidth = 240;
inline constexpr int kMinWindowHeight = 160;

// `want` moved and sized to lie wholly on the available area of the screen it
// overlaps most (the primary screen when it overlaps none), at least the
// minimum size and at most that area. Without any screen: `want` unchanged.
QRect FitOnScreen(const QRect &want);

// Where a window at `own` goes so that one at `front` does not hide all of
// it: `own` when some of it shows; else its size beside `front` within
// `area` (to the right, left, below or above, the first that fits); else
// `own` moved to the corner of `area` farthest from `front`'s centre.
QRect OutFromBehind(const QRect &own, const QRect &front, const QRect &area);

// A restored place: what the settings said and what the window was given.
// Collect() is what to store back: the settings' own values while the window
// still stands where it was put, so that a clamp alone never rewrites them.
struct TRestoredPlace {
  QRect stored;
  QRect shown;
  bool valid = false;

  QRect Apply(const QRect &fromSettings) {
    stored = fromSettings;
    shown = FitOnScreen(fromSettings);
    valid = true;
    settled = false;
    return shown;
  }
  // The place the window actually got once shown (the platform may shift it
  // by its frame); until the user moves it, that still counts as unmoved.
  void Settle(const QRect &actual) {
    if (valid && !settled)
      settled = true, shownActual = actual;
  }
  QRect Collect(const QRect &now) const {
    return valid && (now == shown || (settled && now == shownActual)) ? stored : now;
  }

private:
  bool settled = false;
  QRect shownActual;
};

} // namespace ui
