#include "editor/DisplayCommands.h"

#include "editor/ItemMemo.h"
#include "editor/PlainTextMemo.h"
#include "editor/VaveDataBase.h"
#include "engine/MemoJump.h"
#include "store/Project.h"
#include "ui/Colours.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/HelpGuide.h"
#include "ui/ImageList.h"
#include "ui/Text.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

bool IsWalkKey(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
         key == Qt::Key_PageDown;
}

bool IsWithin(const QWidget *w, const QWidget *ancestor) {
  for (; w; w = w->parentWidget())
    if (w == ancestor)
      return true;
  return false;
}

// The colours are kept as BGR numbers: 14021115 is RGB 251, 241, 213.
QColor FromBgr(unsigned value) {
  return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

// On the application while the window hides: passes on mouse moves only, so
// that no other event is handled twice.
class TSweepEvents : public QObject {
public:
  explicit TSweepEvents(QObject *target) : QObject(target), target_(target) {}
  bool eventFilter(QObject *watched, QEvent *event) override {
    return event->type() == QEvent::MouseMove && target_->eventFilter(watched, event);
  }

private:
  QObject *target_;
};

} // namespace

TDisplayCommands::TDisplayCommands(TEditorContext &editor) : ed_(editor) {}

TDisplayCommands::~TDisplayCommands() {
  if (sweepEvents_)
    qApp->removeEventFilter(sweepEvents_);
}

bool TDisplayCommands::Checked(TEditorAction a) { return ed_.Actions()[a]->isChecked(); }

void TDisplayCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  auto marks = [this] { return ed_.CurrentNode() && !ed_.CurrentNode()->Data()->Missing; };
  a.Bind(
      A::SelectToDoAction, [this] { SelectMark(false); }, marks);
  a.Bind(
      A::SelectCompletionAction, [this] { SelectMark(true); }, marks);
  a.Bind(A::WordWrapMenu, [this] { WordWrapMenuClick(); });
  a.Bind(
      A::HideMenu, [this] { HideMenuClick(); }, [] { return HideSupported(); });
  a.Bind(A::SelectFontMenu, [this] { SelectFontMenuClick(); });
  a.Bind(A::UseDefaultColorMenu, [this] { UseDefaultColorMenuClick(); });
  a.Bind(A::ShowHintMenu, [this] { ShowHintMenuClick(); });
  if (!HideSupported()) {
    QString why =
        Q(u"この環境ではｳｲﾝﾄﾞｳの位置をﾌﾟﾛｸﾞﾗﾑから変えられないため、隠れることはできません");
    a[A::HideMenu]->setStatusTip(why);
    a[A::HideMenu]->setToolTip(why);
  }

  QMainWindow *window = ed_.Window();
  expandTimer_ = new QTimer(window);
  expandTimer_->setObjectName(QStringLiteral("ExpandTimer"));
  expandTimer_->setInterval(2000);
  connect(expandTimer_, &QTimer::timeout, this, [this] {
    expandTimer_->stop();
    SetHideState(THideState::Hidden);
  });
  slideTimer_ = new QTimer(window);
  slideTimer_->setObjectName(QStringLiteral("SlideTimer"));
  slideTimer_->setInterval(1000);
  connect(slideTimer_, &QTimer::timeout, this, [this] {
    sweepStartX_ = 0;
    slideTimer_->stop();
  });

  helpGuide_ = new THelpGuide(window);
  helpGuide_->setObjectName(QStringLiteral("HelpGuide1"));
  helpGuide_->SetHelpPosition(THelpGuide::hpStatusBar);
  helpGuide_->SetTargetStatusBar(window->statusBar());
  helpGuide_->SetPanelIndex(2);
  helpGuide_->SetEnabled(false);

  // A project's Windows font is shown in an installed Japanese one.
  ui::SubstituteWindowsFonts();
  ui::OpenContextMenusWithShiftF10();
  // The designed colours until the project says otherwise.
  ui::UseOwnColours(ed_.Memo(), DesignedMemoColor());
  ui::UseOwnColours(ed_.Tree(), DesignedTreeColor());

  sweepEvents_ = new TSweepEvents(this);
  window->installEventFilter(this);
  ed_.Tree()->installEventFilter(this);
  window->statusBar()->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
    if (keyWalking_ && !IsWithin(now, ed_.Tree()))
      EndKeyWalk(); // the key's release will not come to the tree
    ed_.updateActionStates();
  });
}

bool TDisplayCommands::HideSupported() {
  return QGuiApplication::platformName() != QLatin1String("wayland");
}

QColor TDisplayCommands::DesignedMemoColor() { return FromBgr(14021115); }
QColor TDisplayCommands::DesignedTreeColor() { return FromBgr(11201017); }

// ---------------------------------------------------------- attributes ----

void TDisplayCommands::RefreshAttributes(TProjectNode *node) {
  const TNodeFiles &f = node->Data()->Files;
  QAction *todo = ed_.Actions()[TEditorAction::SelectToDoAction];
  QAction *done = ed_.Actions()[TEditorAction::SelectCompletionAction];
  todo->setChecked(f.ToDo);
  todo->setIcon(images::Icon(f.ToDo ? images::ToDoOn : images::ToDoOff));
  done->setChecked(f.Completion);
  done->setIcon(images::Icon(f.Completion ? images::CompletionOn : images::CompletionOff));
  ed_.Memo()->setReadOnly(ed_.ProjectLocked() || f.Completion || node->Data()->Missing);
  // The model draws the icon from the item's marks; tell it they changed.
  ed_.Project().Tree().NotifyDataChanged(node);
}

void TDisplayCommands::SelectMark(bool completion) {
  TProjectNode *current = ed_.CurrentNode();
  ed_.SetMemoModified(true); // so that the next store writes the mark
  TNodeFiles &f = current->Data()->Files;
  if (completion)
    f.Completion = Checked(TEditorAction::SelectCompletionAction);
  else
    f.ToDo = Checked(TEditorAction::SelectToDoAction);
  // Completing the root locks the project; the commands follow it as the
  // table updates their states after this one.
  RefreshAttributes(current);
}

// ------------------------------------------------------ display options ----

void TDisplayCommands::WordWrapMenuClick() {
  // The action has already toggled its check mark.
  const bool wrap = Checked(TEditorAction::WordWrapMenu);
  TItemMemo *memo = ed_.Memo();
  TMemoJump &jump = ed_.MemoJump();
  memo->setUpdatesEnabled(false);
  const int line = jump.CaretLine();
  const int column = jump.CaretColumn();
  memo->SetWordWrap(wrap);
  memo->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  // Lines count text lines here, so the caret stays on the same character.
  jump.MoveToLine(line);
  jump.MoveToColumn(column);
  memo->setUpdatesEnabled(true);
  memo->ensureCursorVisible();
  ed_.UpdateCaretPanel();
}

void TDisplayCommands::SelectFontMenuClick() {
  TItemMemo *memo = ed_.Memo();
  QFont font = memo->font();
  if (!ui::SelectFont(ed_.Window(), QString(), font))
    return;
  ed_.Project().SetModified(true); // the font is saved with the tree file
  memo->setFont(font);
  ed_.Tree()->setFont(font);
  ed_.MemoJump().LineHeight = TPlainTextMemo::FontLineHeight(memo);
}

void TDisplayCommands::UseDefaultColorMenuClick() {
  // The desktop's colours in full, or the program's with text that reads on
  // them whatever the desktop's theme.
  if (Checked(TEditorAction::UseDefaultColorMenu)) {
    ui::UseDesktopColours(ed_.Memo());
    ui::UseDesktopColours(ed_.Tree());
  } else {
    ui::UseOwnColours(ed_.Memo(), DesignedMemoColor());
    ui::UseOwnColours(ed_.Tree(), DesignedTreeColor());
  }
}

void TDisplayCommands::ShowHintMenuClick() {
  const bool on = Checked(TEditorAction::ShowHintMenu);
  helpGuide_->SetEnabled(on);
  if (!on) { // no hint left behind
    auto *window = ed_.Window();
    if (auto *hint = window->findChild<QLabel *>(QStringLiteral("StatusPanel2")))
      hint->setText(window->windowTitle());
  }
}

// ---------------------------------------------------- hiding at the top ----

void TDisplayCommands::SetHideState(THideState state) {
  QMainWindow *w = ed_.Window();
  const int height = w->frameGeometry().height();
  int top = w->y();
  switch (state) {
  case THideState::Normal:
    top = std::max(top, 0);
    expandTimer_->stop();
    break;
  case THideState::ShownAtTop:
    top = 0;
    expandTimer_->stop();
    break;
  case THideState::Peeking:
    top = w->statusBar()->height() - height + 4;
    expandTimer_->start();
    break;
  case THideState::Hidden:
    top = 4 - height;
    expandTimer_->stop();
    break;
  }
  if (top != w->y())
    w->move(w->x(), top);
  hideState_ = state;
  // Mouse moves over the strip reach no widget that tracks the mouse; the
  // application's filters see them all, so watch there while hidden.
  if (state == THideState::Hidden)
    qApp->installEventFilter(sweepEvents_);
  else
    qApp->removeEventFilter(sweepEvents_);
}

void TDisplayCommands::HideMenuClick() {
  if (!HideSupported())
    return;
  // The action has already toggled its check mark; unchecking brings the
  // window back, checking takes effect at the next deactivation.
  if (!Checked(TEditorAction::HideMenu))
    SetHideState(THideState::Normal);
}

void TDisplayCommands::FormDeactivate() {
  if (HideSupported() && Checked(TEditorAction::HideMenu) && ed_.Window()->y() <= 0)
    SetHideState(THideState::Hidden);
}

void TDisplayCommands::StatusBarClick() {
  if (!HideSupported() || !Checked(TEditorAction::HideMenu))
    return;
  SetHideState(hideState_ == THideState::Peeking ? THideState::ShownAtTop : THideState::Hidden);
}

// ------------------------------------------------------------- events ----

void TDisplayCommands::EndKeyWalk() {
  if (!keyWalking_)
    return;
  keyWalking_ = false;
  // Show the item reached, once. The item shown all along is still current
  // when nothing moved: showing it again would drop its unsaved edits.
  TProjectNode *selected = ed_.Tree()->Selected();
  if (selected != ed_.CurrentNode())
    ed_.VaveTreeChange(selected);
}

bool TDisplayCommands::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  QMainWindow *window = ed_.Window();
  TVaveDataBase *tree = ed_.Tree();
  if (watched == window) {
    if (type == QEvent::WindowDeactivate)
      FormDeactivate();
    else if (type == QEvent::Close) {
      expandTimer_->stop();
      slideTimer_->stop();
    } else if (type == QEvent::StatusTip)
      return true; // hints go to the hint line only, never over the panels
    if (type != QEvent::MouseMove)
      return false;
  }
  if (type == QEvent::MouseMove && hideState_ == THideState::Hidden) {
    auto *w = qobject_cast<QWidget *>(watched);
    if (w && w->window() == window && Checked(TEditorAction::HideMenu)) {
      const int px = static_cast<int>(static_cast<QMouseEvent *>(event)->globalPosition().x());
      if (sweepStartX_ == 0) {
        sweepStartX_ = px;
        slideTimer_->start();
      } else if (std::abs(px - sweepStartX_) > 50) {
        SetHideState(THideState::Peeking);
      }
    }
    return false;
  }
  if (qobject_cast<QStatusBar *>(watched)) {
    if (type == QEvent::MouseButtonPress)
      StatusBarClick();
    return false;
  }
  if (watched != tree)
    return false;
  if (type == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !tree->IsEditingLabel()) {
      ed_.Memo()->setFocus();
      return true;
    }
    // Walk without showing each item; the release shows the one reached.
    if (IsWalkKey(key->key()) && !keyWalking_ && key->modifiers() == Qt::NoModifier)
      keyWalking_ = true;
  } else if (type == QEvent::KeyRelease) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (IsWalkKey(key->key()) && !key->isAutoRepeat())
      EndKeyWalk();
  } else if (type == QEvent::FocusOut) {
    EndKeyWalk();
  }
  return false;
}

// ------------------------------------------------------- window settings ----

void TDisplayCommands::ApplyWindowSettings(const TWindowData &w) {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  if (w.WordWrap && a[A::WordWrapMenu]->isEnabled())
    a[A::WordWrapMenu]->trigger();
  else
    a[A::WordWrapMenu]->setChecked(w.WordWrap);
  ed_.Memo()->SetWordWrap(a[A::WordWrapMenu]->isChecked());
  a[A::HideMenu]->setChecked(w.HideForm);
  a[A::AutoSaveMenu]->setChecked(w.AutoSave);
  // Both start unchecked and are run when set, so colours and hint line follow.
  a[A::UseDefaultColorMenu]->setChecked(false);
  if (w.DefaultColor)
    a[A::UseDefaultColorMenu]->trigger();
  a[A::ShowHintMenu]->setChecked(false);
  if (w.ShowHint)
    a[A::ShowHintMenu]->trigger();
  QFont font(ui::ToQString(w.FontName));
  font.setPointSize(w.FontSize > 0 ? w.FontSize : 10);
  ed_.Memo()->setFont(font);
  ed_.Tree()->setFont(font);
  ed_.MemoJump().LineHeight = TPlainTextMemo::FontLineHeight(ed_.Memo());
}

void TDisplayCommands::CollectWindowSettings(TWindowData &w) const {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  w.WordWrap = a[A::WordWrapMenu]->isChecked();
  w.HideForm = a[A::HideMenu]->isChecked();
  w.AutoSave = a[A::AutoSaveMenu]->isChecked();
  w.DefaultColor = a[A::UseDefaultColorMenu]->isChecked();
  w.ShowHint = a[A::ShowHintMenu]->isChecked();
  const QFont font = ed_.Memo()->font();
  std::string family;
  if (ui::FromQString(font.family(), family))
    w.FontName = family;
  w.FontSize = font.pointSize() > 0 ? font.pointSize() : w.FontSize;
}
