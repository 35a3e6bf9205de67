// Commands on the item text, the item attributes and the display options:
// date and time, the clipboard and undo commands on the memo and on a label
// being edited, undoing the changes of the current item, clearing the caret
// memory, ToDo and Completion, word wrap, font, colours, the hint line,
// hiding at the top edge of the screen and the tree's keyboard rules.
#include "editor/VaveMain.h"

#include "editor/ItemMemo.h"
#include "editor/PlainTextMemo.h"
#include "editor/VaveDataBase.h"
#include "store/ProjectTree.h"
#include "ui/Dialogs.h"
#include "ui/HelpGuide.h"
#include "ui/ImageList.h"
#include "ui/Text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

// Forwards the events these commands watch to the window. The instance on
// the application while the window hides passes on mouse moves only, so that
// no other event is handled twice.
class TTextCommandEvents : public QObject {
public:
  TTextCommandEvents(TVaveMainForm *form, bool mouseMovesOnly)
      : QObject(form), form_(form), mouseMovesOnly_(mouseMovesOnly) {}
  bool eventFilter(QObject *watched, QEvent *event) override {
    // Only the events handled there: others also come while the window is
    // being taken apart.
    switch (event->type()) {
    case QEvent::MouseMove:
      return form_->TextCommandEvent(watched, event);
    case QEvent::WindowDeactivate:
    case QEvent::Close:
    case QEvent::StatusTip:
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::FocusOut:
      return !mouseMovesOnly_ && form_->TextCommandEvent(watched, event);
    default:
      return false;
    }
  }

private:
  TVaveMainForm *form_;
  bool mouseMovesOnly_;
};

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

void SetBaseColor(QWidget *w, const QColor &c) {
  QPalette p = w->palette();
  p.setColor(QPalette::Base, c);
  w->setPalette(p);
}

// Up to this many unwritable items are named one by one in a message.
constexpr int kMaxNamedItems = 15;

} // namespace

// ------------------------------------------------------------ creation ----

void TVaveMainForm::BindTextCommands() {
  for (const char *name : {"InsertDateAction", "InsertTimeAction"})
    BindAction(name, [this, name] { InsertDateTimeAction(Action(name)->property("Tag").toInt()); });
  for (const char *name : {"UndoAction", "CutToClipAction", "CopyToClipAction",
                           "PastClipTextAction", "SelectAllAction"})
    BindAction(name, [this, name] { ClipboardTextAction(Action(name)->property("Tag").toInt()); });
  BindAction("UndoItemMidifyAction", [this] { UndoItemMidifyAction(); });
  BindAction("ClearCursorPosMenu", [this] { ClearCursorPosMenuClick(); });
  BindAction("WordWrapMenu", [this] { WordWrapMenuClick(); });
  BindAction("HideMenu", [this] { HideMenuClick(); });
  BindAction("SelectFontMenu", [this] { SelectFontMenuClick(); });
  BindAction("UseDefaultColorMenu", [this] { UseDefaultColorMenuClick(); });
  BindAction("ShowHintMenu", [this] { ShowHintMenuClick(); });
  if (!HideSupported()) {
    QString why =
        Q(u"この環境ではｳｲﾝﾄﾞｳの位置をﾌﾟﾛｸﾞﾗﾑから変えられないため、隠れることはできません");
    Action("HideMenu")->setStatusTip(why);
    Action("HideMenu")->setToolTip(why);
  }

  ExpandTimer = new QTimer(this);
  ExpandTimer->setObjectName(QStringLiteral("ExpandTimer"));
  ExpandTimer->setInterval(2000);
  connect(ExpandTimer, &QTimer::timeout, this, [this] {
    ExpandTimer->stop();
    SetHideState(THideState::Hidden);
  });
  SlideTimer = new QTimer(this);
  SlideTimer->setObjectName(QStringLiteral("SlideTimer"));
  SlideTimer->setInterval(1000);
  connect(SlideTimer, &QTimer::timeout, this, [this] {
    SweepStartX = 0;
    SlideTimer->stop();
  });

  HelpGuide1 = new THelpGuide(this);
  HelpGuide1->setObjectName(QStringLiteral("HelpGuide1"));
  HelpGuide1->SetHelpPosition(THelpGuide::hpStatusBar);
  HelpGuide1->SetTargetStatusBar(statusBar());
  HelpGuide1->SetPanelIndex(2);
  HelpGuide1->SetEnabled(false);

  // The designed colours until the project says otherwise.
  SetBaseColor(memo_, DesignedMemoColor());
  SetBaseColor(tree_, DesignedTreeColor());

  textEvents_ = new TTextCommandEvents(this, false);
  sweepEvents_ = new TTextCommandEvents(this, true);
  installEventFilter(textEvents_);
  tree_->installEventFilter(textEvents_);
  statusBar()->installEventFilter(textEvents_);

  // Application-wide signals: bound to the filter object, which the window
  // deletes first, so that none arrives while the window is taken apart.
  connect(QApplication::clipboard(), &QClipboard::dataChanged, textEvents_,
          [this] { updateActionStates(); });
  connect(qApp, &QApplication::focusChanged, textEvents_, [this](QWidget *, QWidget *now) {
    // The label editor is made by the tree when editing starts: watch its
    // clipboard keys, which act on the whole label.
    if (qobject_cast<QLineEdit *>(now) && IsWithin(now, tree_))
      now->installEventFilter(textEvents_);
    if (keyWalking_ && !IsWithin(now, tree_))
      EndKeyWalk(); // the key's release will not come to the tree
    updateActionStates();
  });
}

bool TVaveMainForm::HideSupported() {
  return QGuiApplication::platformName() != QLatin1String("wayland");
}

QColor TVaveMainForm::DesignedMemoColor() { return FromBgr(14021115); }
QColor TVaveMainForm::DesignedTreeColor() { return FromBgr(11201017); }

// ------------------------------------------------------------ enabling ----

void TVaveMainForm::UpdateTextCommandStates() {
  const bool item = CurrentNode != nullptr;
  const bool writable = item && !ProjectLocked && !CurrentNode->Data()->Files.Completion &&
                        !CurrentNode->Data()->Missing;
  const bool selection = memo_->textCursor().hasSelection();
  const bool label = tree_->IsEditingLabel();
  const QMimeData *clip = QApplication::clipboard()->mimeData();
  const bool clipText = clip && clip->hasText();
  Action("InsertDateAction")->setEnabled(writable);
  Action("InsertTimeAction")->setEnabled(writable);
  Action("UndoAction")->setEnabled(writable && memoJump_.CanUndo());
  Action("CutToClipAction")->setEnabled(writable && (selection || label));
  Action("CopyToClipAction")->setEnabled(item && (selection || label));
  Action("PastClipTextAction")->setEnabled(writable && clipText);
  Action("SelectAllAction")->setEnabled(true);
  Action("UndoItemMidifyAction")->setEnabled(writable && MemoModified());
  Action("ClearCursorPosMenu")->setEnabled(RootNode != nullptr);
  Action("HideMenu")->setEnabled(HideSupported());
  // The export entries of the File menu act on the selected item.
  Action("ItemTextOutAction")->setEnabled(item);
  Action("ItemHtmlOutAction")->setEnabled(item);
}

// ---------------------------------------------------------- attributes ----

void TVaveMainForm::SelectToDoAction() {
  if (!CurrentNode || CurrentNode->Data()->Missing)
    return;
  SetMemoModified(true); // so that the next store writes the mark
  CurrentNode->Data()->Files.ToDo = Action("SelectToDoAction")->isChecked();
  RefreshAttributes(CurrentNode);
  updateActionStates();
}

void TVaveMainForm::SelectCompletionAction() {
  if (!CurrentNode || CurrentNode->Data()->Missing)
    return;
  SetMemoModified(true);
  CurrentNode->Data()->Files.Completion = Action("SelectCompletionAction")->isChecked();
  // Sets ProjectLocked for the root and the memo's read-only state; every
  // command that tests the lock follows at once.
  RefreshAttributes(CurrentNode);
  updateActionStates();
}

// ---------------------------------------------------------- text commands ----

QString TVaveMainForm::DateText(const TDateTime &t) {
  // The weekday in Japanese whatever the user's locale: the stored texts are.
  static const char16_t kWeekdays[] = u"日月火水木金土";
  int dow = t.DayOfWeek();
  QChar day = dow >= 0 && dow < 7 ? QChar(kWeekdays[dow]) : QChar(u'?');
  return QString::asprintf("%04d/%02d/%02d(", t.year, t.month, t.day) + day + QLatin1Char(')');
}

QString TVaveMainForm::TimeText(const TDateTime &t) {
  return QString::asprintf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

void TVaveMainForm::InsertDateTimeAction(int tag) {
  if (!CurrentNode || memo_->isReadOnly())
    return;
  const TDateTime now = clock_::Now();
  memo_->textCursor().insertText(tag == 0 ? DateText(now) : TimeText(now));
  memo_->ensureCursorVisible();
  UpdateCaretPanel();
}

void TVaveMainForm::ClipboardTextAction(int tag) {
  QWidget *focus = QApplication::focusWidget();
  if (focus == memo_) {
    // A completed item, or a locked project, keeps its text: only copy and
    // select-all work on it.
    if (memo_->isReadOnly() && tag != 2 && tag != 4)
      return;
    switch (tag) {
    case 0:
      memoJump_.Undo();
      break;
    case 1:
      memo_->cut();
      break;
    case 2:
      memo_->copy();
      break;
    case 3:
      memo_->paste(); // plain text only, checked by the memo
      break;
    case 4:
      memo_->selectAll();
      break;
    }
    UpdateCaretPanel();
    updateActionStates();
    return;
  }
  if (!IsWithin(focus, tree_) || !tree_->IsEditingLabel())
    return;
  // The label operations act on the whole label of the selected item. The
  // edited event stays away while they run, also when one of them fails.
  struct Detach {
    TVaveTreeModel *model;
    std::function<bool(TProjectNode *, const QString &)> saved;
    explicit Detach(TVaveTreeModel *m) : model(m), saved(std::move(m->LabelEdited)) {
      m->LabelEdited = nullptr;
    }
    ~Detach() { model->LabelEdited = std::move(saved); }
  } detach(tree_->Model());
  switch (tag) {
  case 1:
    tree_->CutTitle();
    break;
  case 2:
    tree_->CopyTitle();
    break;
  case 3:
    tree_->PasteTitle();
    break;
  default:
    break;
  }
}

void TVaveMainForm::UndoItemMidifyAction() {
  if (!CurrentNode)
    return;
  memo_->setUpdatesEnabled(false);
  ShowMemoText(CurrentNode->Data()->Files.Body);
  SetMemoModified(false);
  memo_->setUpdatesEnabled(true);
  memoJump_.SetCaret(0);
  UpdateCaretPanel();
  updateActionStates();
}

void TVaveMainForm::ClearCursorPosMenuClick() {
  if (!RootNode)
    return;
  if (ShowMessageBox(Q(u"すべての項目のカーソル位置をクリアします。よろしいですか?"),
                     ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                     ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  // Every item once, in pre-order, each written on its own: an item that
  // cannot be written is listed and the walk goes on (walking by selection
  // would stay on such an item, since a failed store refuses the change).
  std::vector<TProjectNode *> failed;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    tree_->setUpdatesEnabled(false);
    memo_->setUpdatesEnabled(false);
    for (TProjectNode *n = tree_->Tree().GetFirstNode(); n; n = n->GetNext()) {
      bool ok;
      if (n->Data()->Missing) {
        continue; // never written: its file is to come back as it was
      } else if (n == CurrentNode) {
        // The shown item keeps its edits: it is stored with them.
        memoJump_.SetCaret(0);
        ok = StoreItem(n);
      } else {
        TNodeFiles &f = n->Data()->Files;
        f.Line = 0;
        f.Column = 1;
        ok = f.Save();
      }
      if (!ok)
        failed.push_back(n);
    }
    memo_->setUpdatesEnabled(true);
    tree_->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
  }
  UpdateCaretPanel();
  updateActionStates();
  if (failed.empty())
    return;
  QString text = Q(u"次のアイテムのファイルに書き込めませんでした");
  int named = 0;
  for (TProjectNode *n : failed) {
    if (++named > kMaxNamedItems) {
      text += Q(u"\r\nほかに %1 件").arg(failed.size() - kMaxNamedItems);
      break;
    }
    text += QStringLiteral("\r\n") + ui::ToQString(n->Text()) + QStringLiteral(" (") +
            ui::PathToQString(n->Data()->Files.FilePath) + QLatin1Char(')');
  }
  ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::Ok);
}

// ------------------------------------------------------ display options ----

void TVaveMainForm::WordWrapMenuClick() {
  // The action has already toggled its check mark.
  const bool wrap = Action("WordWrapMenu")->isChecked();
  memo_->setUpdatesEnabled(false);
  const int line = memoJump_.CaretLine();
  const int column = memoJump_.CaretColumn();
  memo_->SetWordWrap(wrap);
  memo_->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  // Lines count text lines here, so the caret stays on the same character.
  memoJump_.MoveToLine(line);
  memoJump_.MoveToColumn(column);
  memo_->setUpdatesEnabled(true);
  memo_->ensureCursorVisible();
  UpdateCaretPanel();
}

void TVaveMainForm::SelectFontMenuClick() {
  QFont font = memo_->font();
  if (!ui::SelectFont(this, QString(), font))
    return;
  TreeModified = true; // the font is saved with the tree file
  memo_->setFont(font);
  tree_->setFont(font);
  memoJump_.LineHeight = TPlainTextMemo::FontLineHeight(memo_);
}

void TVaveMainForm::UseDefaultColorMenuClick() {
  if (Action("UseDefaultColorMenu")->isChecked()) {
    const QColor system = QApplication::palette().color(QPalette::Base);
    SetBaseColor(memo_, system);
    SetBaseColor(tree_, system);
  } else {
    SetBaseColor(memo_, DesignedMemoColor());
    SetBaseColor(tree_, DesignedTreeColor());
  }
}

void TVaveMainForm::ShowHintMenuClick() {
  const bool on = Action("ShowHintMenu")->isChecked();
  HelpGuide1->SetEnabled(on);
  if (!on)
    panels_[2]->setText(windowTitle()); // no hint left behind
}

// ---------------------------------------------------- hiding at the top ----

void TVaveMainForm::SetHideState(THideState state) {
  const int height = frameGeometry().height();
  int top = y();
  switch (state) {
  case THideState::Normal:
    top = std::max(top, 0);
    ExpandTimer->stop();
    break;
  case THideState::ShownAtTop:
    top = 0;
    ExpandTimer->stop();
    break;
  case THideState::Peeking:
    top = statusBar()->height() - height + 4;
    ExpandTimer->start();
    break;
  case THideState::Hidden:
    top = 4 - height;
    ExpandTimer->stop();
    break;
  }
  if (top != y())
    move(x(), top);
  HideState = state;
  // Mouse moves over the strip reach no widget that tracks the mouse; the
  // application's filters see them all, so watch there while hidden.
  if (state == THideState::Hidden)
    qApp->installEventFilter(sweepEvents_);
  else
    qApp->removeEventFilter(sweepEvents_);
}

void TVaveMainForm::HideMenuClick() {
  if (!HideSupported())
    return;
  // The action has already toggled its check mark; unchecking brings the
  // window back, checking takes effect at the next deactivation.
  if (!Action("HideMenu")->isChecked())
    SetHideState(THideState::Normal);
}

void TVaveMainForm::FormDeactivate() {
  if (HideSupported() && Action("HideMenu")->isChecked() && y() <= 0)
    SetHideState(THideState::Hidden);
}

void TVaveMainForm::StatusBarClick() {
  if (!HideSupported() || !Action("HideMenu")->isChecked())
    return;
  SetHideState(HideState == THideState::Peeking ? THideState::ShownAtTop : THideState::Hidden);
}

// ------------------------------------------------------------- events ----

void TVaveMainForm::EndKeyWalk() {
  if (!keyWalking_)
    return;
  keyWalking_ = false;
  tree_->OnChange = std::move(walkOnChange_);
  walkOnChange_ = nullptr;
  // Show the item reached, once. The item shown all along is still current
  // when nothing moved: showing it again would drop its unsaved edits.
  TProjectNode *selected = tree_->Selected();
  if (selected != CurrentNode)
    VaveTreeChange(selected);
}

bool TVaveMainForm::TextCommandEvent(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  if (watched == this) {
    if (type == QEvent::WindowDeactivate)
      FormDeactivate();
    else if (type == QEvent::Close) {
      ExpandTimer->stop();
      SlideTimer->stop();
    } else if (type == QEvent::StatusTip)
      return true; // hints go to the hint line only, never over the panels
    if (type != QEvent::MouseMove)
      return false;
  }
  if (type == QEvent::MouseMove && HideState == THideState::Hidden) {
    auto *w = qobject_cast<QWidget *>(watched);
    if (w && w->window() == this && Action("HideMenu")->isChecked()) {
      const int px = static_cast<int>(static_cast<QMouseEvent *>(event)->globalPosition().x());
      if (SweepStartX == 0) {
        SweepStartX = px;
        SlideTimer->start();
      } else if (std::abs(px - SweepStartX) > 50) {
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
  if (watched == tree_) {
    if (type == QEvent::KeyPress) {
      auto *key = static_cast<QKeyEvent *>(event);
      if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
          !tree_->IsEditingLabel()) {
        memo_->setFocus();
        return true;
      }
      if (IsWalkKey(key->key()) && !keyWalking_ && key->modifiers() == Qt::NoModifier) {
        // Walk without showing each item; the release shows the one reached.
        keyWalking_ = true;
        walkOnChange_ = std::move(tree_->OnChange);
        tree_->OnChange = nullptr;
      }
    } else if (type == QEvent::KeyRelease) {
      auto *key = static_cast<QKeyEvent *>(event);
      if (IsWalkKey(key->key()) && !key->isAutoRepeat())
        EndKeyWalk();
    } else if (type == QEvent::FocusOut) {
      EndKeyWalk();
    }
    return false;
  }
  if (type == QEvent::KeyPress && qobject_cast<QLineEdit *>(watched)) {
    // In the label editor cut, copy and paste act on the whole label, not on
    // the part selected in the editor.
    auto *key = static_cast<QKeyEvent *>(event);
    const int tag = key->matches(QKeySequence::Cut)     ? 1
                    : key->matches(QKeySequence::Copy)  ? 2
                    : key->matches(QKeySequence::Paste) ? 3
                                                        : -1;
    if (tag > 0) {
      ClipboardTextAction(tag);
      return true;
    }
  }
  return false;
}
