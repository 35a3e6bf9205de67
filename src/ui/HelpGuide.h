#pragma once
// Shows the hint of whatever the mouse points at in one fixed place of a
// window: its caption, a panel of its status bar, or a label.
//
// Qt delivers hints as status tips (QStatusTipEvent, sent when the pointer
// enters or leaves a widget with a status tip and when a menu entry is
// highlighted). The program keeps one application hint handler, like a chain:
// an enabled guide becomes the handler and calls the one installed before it.
//
//   auto *guide = new THelpGuide(window);
//   guide->SetHelpPosition(THelpGuide::hpStatusBar);
//   guide->SetTargetStatusBar(window->statusBar());
//   guide->SetPanelIndex(2);
//   guide->SetEnabled(true);
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLabel;
class QStatusBar;
class QWidget;
struct THelpGuideLink;

namespace ui {

// The application's hint handler: called with the object the hint came from
// and the hint text. While a handler is installed it receives every status
// tip of the application and the tips go nowhere else.
using HintHandler = std::function<void(QObject *sender, const QString &hint)>;
// Installs `handler` (empty: none) and returns the one installed before.
HintHandler SetApplicationHintHandler(HintHandler handler);
// The hint text of the status tip being handled (empty outside a handler).
QString ApplicationHint();

// The two parts of a hint "short|long"; without "|" both are the whole text.
QString GetShortHint(const QString &hint);
QString GetLongHint(const QString &hint);

} // namespace ui

class THelpGuide : public QObject {
  Q_OBJECT
public:
  enum THelpPos { hpFormCaption = 0, hpStatusBar = 1, hpLabel = 2 };

  // `owner` must be a window (a form); anything else throws
  // std::invalid_argument. The guide starts not installed.
  explicit THelpGuide(QWidget *owner);
  ~THelpGuide() override;

  THelpPos HelpPosition() const { return position_; }
  void SetHelpPosition(THelpPos position) { position_ = position; }
  QStatusBar *TargetStatusBar() const;
  void SetTargetStatusBar(QStatusBar *bar);
  // The panels of a status bar are its direct QLabel children, in the order
  // they were made.
  int PanelIndex() const { return panelIndex_; }
  void SetPanelIndex(int index) { panelIndex_ = index; }
  QLabel *TargetLabel() const;
  void SetTargetLabel(QLabel *label);

  bool Enabled() const { return enabled_; }
  // True installs the guide as the application's hint handler (keeping the
  // previous one, which it keeps calling); false puts the previous one back.
  // Writing the state the guide is already in changes nothing.
  void SetEnabled(bool enabled);

  bool LongHint = true;
  QString HelpHeader = QStringLiteral(u"ﾋﾝﾄ : ");
  QString HelpFooter;
  QString OriginalCaption; // shown when the hint is empty

  // The application's hint handler while the guide is enabled.
  void ShowHint(QObject *sender, const QString &hint);

private:
  QWidget *form_;
  THelpPos position_ = hpFormCaption;
  QPointer<QStatusBar> statusBar_;
  int panelIndex_ = 0;
  QPointer<QLabel> label_;
  bool enabled_ = false;
  bool installed_ = false;
  std::shared_ptr<THelpGuideLink> link_; // while installed
};
