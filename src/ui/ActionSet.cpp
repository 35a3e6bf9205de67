#include "ui/ActionSet.h"

#include "ui/ImageList.h"

#include <QKeySequence>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ui {

TActionTable::TActionTable(QWidget *owner, const TActionDef *defs, int count)
    : rules_(static_cast<size_t>(count)), update_(std::make_unique<QTimer>()) {
  update_->setSingleShot(true);
  update_->setInterval(0);
  QObject::connect(update_.get(), &QTimer::timeout, update_.get(), [this] { Update(); });
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
    tags_.push_back(d.tag);
    keepsEdit_.push_back(d.keepsEdit);
  }
}

TActionTable::~TActionTable() {
  // The actions may outlive the table by a moment (they go with the window).
  for (const QMetaObject::Connection &c : handlers_)
    QObject::disconnect(c);
}

void TActionTable::Bind(int index, std::function<void()> handler, std::function<bool()> enabled) {
  rules_[index] = enabled ? std::move(enabled) : [] { return true; };
  handlers_.push_back(
      QObject::connect(actions_[index], &QAction::triggered, actions_[index],
                       [this, index, handler = std::move(handler)] { Run(index, handler); }));
}

void TActionTable::BindTagged(int index, std::function<void(int tag)> handler,
                              std::function<bool()> enabled) {
  Bind(
      index, [handler = std::move(handler), tag = tags_[index]] { handler(tag); },
      std::move(enabled));
}

void TActionTable::Run(int index, const std::function<void()> &handler) {
  if (before_ && !keepsEdit_[index])
    before_(index);
  QPointer<QTimer> alive(update_.get()); // a handler may take its window down
  ++running_;
  if (rules_[index] && rules_[index]())
    handler();
  if (!alive || --running_ > 0)
    return;
  update_->stop();
  Update(); // also after a refusal: the state shown was stale
}

void TActionTable::Rule(int index, std::function<bool()> enabled) {
  rules_[index] = std::move(enabled);
}

void TActionTable::Clear() {
  for (auto &rule : rules_)
    rule = nullptr;
  before_ = nullptr;
  update_->stop();
}

void TActionTable::UpdateSoon() { update_->start(); }

void TActionTable::Update() const {
  if (running_ > 0)
    return;
  for (size_t i = 0; i < actions_.size(); ++i)
    if (rules_[i])
      actions_[i]->setEnabled(rules_[i]());
}

} // namespace ui
