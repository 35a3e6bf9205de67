#include "ui/HelpGuide.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QStatusTipEvent>

#include <memory>
#include <stdexcept>

namespace ui {
namespace {

HintHandler gHandler;
QString gHint;

// Hands every status tip of the application to the hint handler, once: the
// tip is consumed, so it does not travel on to the parents (a main window
// would otherwise show it over its status bar panels).
class HintFilter : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::StatusTip || !gHandler)
      return false;
    const QString saved = gHint;
    gHint = static_cast<QStatusTipEvent *>(event)->tip();
    HintHandler handler = gHandler; // the handler may replace itself
    handler(watched, gHint);
    gHint = saved;
    return true;
  }
};

void EnsureFilter() {
  static QPointer<HintFilter> filter;
  if (!filter && qApp) {
    filter = new HintFilter(qApp);
    qApp->installEventFilter(filter);
  }
}

} // namespace

HintHandler SetApplicationHintHandler(HintHandler handler) {
  if (handler)
    EnsureFilter();
  HintHandler previous = std::move(gHandler);
  gHandler = std::move(handler);
  return previous;
}

QString ApplicationHint() { return gHint; }

QString GetShortHint(const QString &hint) {
  int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString &hint) {
  int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.mid(bar + 1);
}

} // namespace ui

// One guide's place in the handler chain. It outlives the guide when a guide
// enabled later still calls it: a link whose guide is gone or disabled only
// passes the hint on.
struct THelpGuideLink {
  QPointer<THelpGuide> guide;
  bool active = true;
  ui::HintHandler previous;
  std::weak_ptr<THelpGuideLink> previousLink;
};

namespace {
std::weak_ptr<THelpGuideLink> gTopLink; // the link installed last, while it is on top
} // namespace

THelpGuide::THelpGuide(QWidget *owner) : QObject(owner), form_(owner) {
  if (!owner || !owner->isWindow())
    throw std::invalid_argument("THelpGuide needs a window as its owner");
}

THelpGuide::~THelpGuide() { SetEnabled(false); }

QStatusBar *THelpGuide::TargetStatusBar() const { return statusBar_; }
void THelpGuide::SetTargetStatusBar(QStatusBar *bar) { statusBar_ = bar; }
QLabel *THelpGuide::TargetLabel() const { return label_; }
void THelpGuide::SetTargetLabel(QLabel *label) { label_ = label; }

void THelpGuide::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled == installed_)
    return;
  std::shared_ptr<THelpGuideLink> &link = link_;
  if (enabled) {
    link = std::make_shared<THelpGuideLink>();
    link->guide = this;
    link->previousLink = gTopLink;
    // The handler owns its link: a guide enabled later keeps it (and so the
    // rest of the chain) alive through its own saved handler.
    link->previous =
        ui::SetApplicationHintHandler([l = link](QObject *sender, const QString &hint) {
          if (l->active && l->guide)
            l->guide->ShowHint(sender, hint);
          else if (l->previous)
            l->previous(sender, hint);
        });
    gTopLink = link;
    installed_ = true;
    return;
  }
  installed_ = false;
  if (!link)
    return;
  link->active = false;
  if (gTopLink.lock() == link) {
    // On top of the chain: the handler from before comes back.
    ui::SetApplicationHintHandler(link->previous);
    gTopLink = link->previousLink;
  }
  // Otherwise a guide enabled later still calls this link, which from now on
  // only passes hints on.
  link.reset();
}

void THelpGuide::ShowHint(QObject *sender, const QString &hint) {
  const QString part = LongHint ? ui::GetLongHint(hint) : ui::GetShortHint(hint);
  const QString text = part.isEmpty() ? OriginalCaption : HelpHeader + part + HelpFooter;
  switch (position_) {
  case hpFormCaption:
    form_->setWindowTitle(text);
    break;
  case hpStatusBar:
    if (statusBar_) {
      const QList<QLabel *> panels =
          statusBar_->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
      if (panelIndex_ >= 0 && panelIndex_ < panels.size())
        panels[panelIndex_]->setText(text);
    }
    break;
  case hpLabel:
    if (label_)
      label_->setText(text);
    break;
  }
  if (link_ && link_->previous)
    link_->previous(sender, hint);
}
