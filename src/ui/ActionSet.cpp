#include "ui/ActionSet.h"

#include "ui/ImageList.h"

#include <QKeySequence>
#include <QWidget>

namespace ui {

TActionTable::TActionTable(QWidget *owner, const TActionDef *defs, int count)
    : rules_(static_cast<size_t>(count)) {
  actions_.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const TActionDef &d = defs[i];
    auto *a = new QAction(QString::fromUtf16(d.caption), owner);
    a->setObjectName(QString::fromLatin1(d.name));
    if (d.shortcut && *d.shortcut)
      a->setShortcut(QKeySequence(QString::fromLatin1(d.shortcut)));
    const QString hint = d.hint ? QString::fromUtf16(d.hint) : QString();
    if (!hint.isEmpty()) {
      a->setStatusTip(hint);
      a->setToolTip(hint);
    }
    if (d.image)
      a->setIcon(images::Icon(d.image));
    a->setProperty("Tag", d.tag);
    a->setCheckable(d.checkable);
    a->setEnabled(false);
    actions_.push_back(a);
  }
}

void TActionTable::Bind(int index, std::function<void()> handler, std::function<bool()> enabled) {
  QAction *a = actions_[index];
  if (before_)
    QObject::connect(a, &QAction::triggered, a, [step = before_, index] { step(index); });
  QObject::connect(a, &QAction::triggered, a, [handler = std::move(handler)] { handler(); });
  rules_[index] = enabled ? std::move(enabled) : [] { return true; };
}

void TActionTable::Rule(int index, std::function<bool()> enabled) {
  rules_[index] = std::move(enabled);
}

void TActionTable::Clear() {
  for (auto &rule : rules_)
    rule = nullptr;
  before_ = nullptr;
}

void TActionTable::Update() const {
  for (size_t i = 0; i < actions_.size(); ++i)
    if (rules_[i])
      actions_[i]->setEnabled(rules_[i]());
}

} // namespace ui
