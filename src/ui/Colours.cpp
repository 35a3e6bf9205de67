#include "ui/Colours.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kReadable = 4.5;

double Luminance(const QColor &c) {
  auto channel = [](double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = c.toRgb();
  return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
         0.0722 * channel(rgb.blueF());
}

QColor Mix(const QColor &from, const QColor &to, double share) {
  const QColor a = from.toRgb(), b = to.toRgb();
  auto mix = [share](double x, double y) { return x + (y - x) * share; };
  return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()),
                          mix(a.blueF(), b.blueF()));
}

// Black or white, whichever reads better on `base`.
QColor Ink(const QColor &base) {
  return ui::Contrast(Qt::black, base) >= ui::Contrast(Qt::white, base) ? QColor(Qt::black)
                                                                        : QColor(Qt::white);
}

// The desktop's selection colour, made darker (or lighter, under dark text)
// in its own hue until its text reads on it.
QColor ReadableHighlight(QColor highlight, const QColor &text) {
  const bool darken = Luminance(text) > 0.5;
  float h, s, l, a;
  highlight.toHsl().getHslF(&h, &s, &l, &a);
  while (ui::Contrast(text, highlight) < kReadable && (darken ? l > 0.0f : l < 1.0f)) {
    l = std::clamp(l + (darken ? -0.02f : 0.02f), 0.0f, 1.0f);
    highlight = QColor::fromHslF(h, s, l, a);
  }
  return highlight;
}

// Remakes the palette when the desktop's changes; one on each widget given
// the program's colours.
class TOwnColours : public QObject {
public:
  TOwnColours(QWidget *w, const QColor &base, bool selectionAlwaysShown)
      : QObject(w), base_(base), selectionAlwaysShown_(selectionAlwaysShown) {
    setObjectName(QStringLiteral("OwnColours"));
  }
  void Apply(QWidget *w) const {
    w->setPalette(ui::OwnColourPalette(QApplication::palette(w), base_, selectionAlwaysShown_));
  }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::ApplicationPaletteChange && watched == parent())
      Apply(static_cast<QWidget *>(watched));
    return false;
  }

private:
  QColor base_;
  bool selectionAlwaysShown_;
};

QObject *OwnColoursOf(QWidget *w) {
  return w->findChild<QObject *>(QStringLiteral("OwnColours"), Qt::FindDirectChildrenOnly);
}

} // namespace

namespace ui {

double Contrast(const QColor &a, const QColor &b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette OwnColourPalette(const QPalette &desktop, const QColor &base, bool selectionAlwaysShown) {
  QPalette p = desktop;
  // The desktop's text where it reads on the colour (a light theme), else ink.
  const QColor desktopText = desktop.color(QPalette::Active, QPalette::Text);
  const bool desktopTextReads = Contrast(desktopText, base) >= kReadable;
  const QColor text = desktopTextReads ? desktopText : Ink(base);
  QColor placeholder = text;
  for (double share : {0.45, 0.3, 0.15}) {
    if (Contrast(Mix(text, base, share), base) >= kReadable) {
      placeholder = Mix(text, base, share);
      break;
    }
  }
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(g, QPalette::Base, base);
    p.setColor(g, QPalette::AlternateBase, Mix(base, text, 0.06));
    p.setColor(g, QPalette::PlaceholderText, placeholder);
    if (g == QPalette::Disabled) {
      p.setColor(g, QPalette::Text,
                 desktopTextReads ? desktop.color(g, QPalette::Text) : Mix(text, base, 0.5));
      continue;
    }
    p.setColor(g, QPalette::Text, text);
    const QPalette::ColorGroup from = selectionAlwaysShown ? QPalette::Active : g;
    const QColor selectedText = desktop.color(from, QPalette::HighlightedText);
    p.setColor(g, QPalette::HighlightedText, selectedText);
    p.setColor(g, QPalette::Highlight,
               ReadableHighlight(desktop.color(from, QPalette::Highlight), selectedText));
  }
  return p;
}

void UseOwnColours(QWidget *w, const QColor &base, bool selectionAlwaysShown) {
  delete OwnColoursOf(w);
  auto *own = new TOwnColours(w, base, selectionAlwaysShown);
  w->installEventFilter(own);
  own->Apply(w);
}

void UseDesktopColours(QWidget *w) {
  delete OwnColoursOf(w);
  w->setPalette(QPalette()); // no role of its own: all inherited, changes followed
}

} // namespace ui
