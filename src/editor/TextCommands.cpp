#include "editor/TextCommands.h"

#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "engine/MemoJump.h"
#include "store/Project.h"
#include "ui/BusyCursor.h"
#include "ui/Text.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QTextCursor>

namespace {

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

bool IsWithin(const QWidget *w, const QWidget *ancestor) {
  for (; w; w = w->parentWidget())
    if (w == ancestor)
      return true;
  return false;
}

// Up to this many unwritable items are named one by one in a message.
constexpr int kMaxNamedItems = 15;

} // namespace

TTextCommands::TTextCommands(TEditorContext &editor) : ed_(editor) {}

bool TTextCommands::Writable() const {
  TProjectNode *n = ed_.CurrentNode();
  return n && !ed_.ProjectLocked() && !n->Data()->Files.Completion && !n->Data()->Missing;
}

void TTextCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  auto writable = [this] { return Writable(); };
  auto selection = [this] { return ed_.Memo()->textCursor().hasSelection(); };
  auto label = [this] { return ed_.Tree()->IsEditingLabel(); };
  a.Bind(
      A::InsertDateAction, [this] { InsertDateTimeAction(0); }, writable);
  a.Bind(
      A::InsertTimeAction, [this] { InsertDateTimeAction(1); }, writable);
  a.Bind(
      A::UndoAction, [this] { ClipboardTextAction(0); },
      // The tree has a Ctrl+Z of its own (UndoCommands).
      [this] { return Writable() && ed_.MemoJump().CanUndo() && !ed_.Tree()->hasFocus(); });
  a.Bind(
      A::CutToClipAction, [this] { ClipboardTextAction(1); },
      [=, this] { return Writable() && (selection() || label()); });
  a.Bind(
      A::CopyToClipAction, [this] { ClipboardTextAction(2); },
      [=, this] { return ed_.CurrentNode() && (selection() || label()); });
  a.Bind(
      A::PastClipTextAction, [this] { ClipboardTextAction(3); },
      [this] {
        const QMimeData *clip = QApplication::clipboard()->mimeData();
        return Writable() && clip && clip->hasText();
      });
  a.Bind(A::SelectAllAction, [this] { ClipboardTextAction(4); });
  a.Bind(
      A::UndoItemMidifyAction, [this] { UndoItemMidifyAction(); },
      [this] { return Writable() && ed_.MemoModified(); });
  a.Bind(
      A::ClearCursorPosMenu, [this] { ClearCursorPosMenuClick(); },
      [this] { return ed_.Project().Root() != nullptr; });

  // Application-wide signals: bound to this object, which the window deletes
  // first, so that none arrives while the window is taken apart.
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
          [this] { ed_.updateActionStates(); });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
    // The label editor is made by the tree when editing starts: watch its
    // clipboard keys, which act on the whole label.
    if (qobject_cast<QLineEdit *>(now) && IsWithin(now, ed_.Tree()))
      now->installEventFilter(this);
  });
}

QString TTextCommands::DateText(const TDateTime &t) {
  // The weekday in Japanese whatever the user's locale: the stored texts are.
  static const char16_t kWeekdays[] = u"日月火水木金土";
  int dow = t.DayOfWeek();
  QChar day = dow >= 0 && dow < 7 ? QChar(kWeekdays[dow]) : QChar(u'?');
  return QString::asprintf("%04d/%02d/%02d(", t.year, t.month, t.day) + day + QLatin1Char(')');
}

QString TTextCommands::TimeText(const TDateTime &t) {
  return QString::asprintf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

void TTextCommands::InsertDateTimeAction(int tag) {
  TItemMemo *memo = ed_.Memo();
  if (!ed_.CurrentNode() || memo->isReadOnly())
    return;
  const TDateTime now = clock_::Now();
  memo->textCursor().insertText(tag == 0 ? DateText(now) : TimeText(now));
  memo->ensureCursorVisible();
  ed_.UpdateCaretPanel();
}

void TTextCommands::ClipboardTextAction(int tag) {
  TItemMemo *memo = ed_.Memo();
  TVaveDataBase *tree = ed_.Tree();
  QWidget *focus = QApplication::focusWidget();
  if (focus == memo) {
    // A completed item, or a locked project, keeps its text: only copy and
    // select-all work on it.
    if (memo->isReadOnly() && tag != 2 && tag != 4)
      return;
    switch (tag) {
    case 0:
      ed_.MemoJump().Undo();
      break;
    case 1:
      memo->cut();
      break;
    case 2:
      memo->copy();
      break;
    case 3:
      memo->paste(); // plain text only, checked by the memo
      break;
    case 4:
      memo->selectAll();
      break;
    }
    ed_.UpdateCaretPanel();
    ed_.updateActionStates();
    return;
  }
  if (!IsWithin(focus, tree) || !tree->IsEditingLabel())
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
  } detach(tree->Model());
  switch (tag) {
  case 1:
    tree->CutTitle();
    break;
  case 2:
    tree->CopyTitle();
    break;
  case 3:
    tree->PasteTitle();
    break;
  default:
    break;
  }
}

bool TTextCommands::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress || !qobject_cast<QLineEdit *>(watched))
    return false;
  // In the label editor cut, copy and paste act on the whole label, not on
  // the part selected in the editor.
  auto *key = static_cast<QKeyEvent *>(event);
  const int tag = key->matches(QKeySequence::Cut)     ? 1
                  : key->matches(QKeySequence::Copy)  ? 2
                  : key->matches(QKeySequence::Paste) ? 3
                                                      : -1;
  if (tag < 0)
    return false;
  ClipboardTextAction(tag);
  return true;
}

void TTextCommands::UndoItemMidifyAction() {
  TProjectNode *current = ed_.CurrentNode();
  if (!current)
    return;
  TItemMemo *memo = ed_.Memo();
  memo->setUpdatesEnabled(false);
  // As an edit, so that the memo's Ctrl+Z brings back the text dropped.
  QTextCursor all(memo->document());
  all.select(QTextCursor::Document);
  all.insertText(ui::ToQString(current->Data()->Files.Body.Joined()));
  ed_.SetMemoModified(false);
  memo->setUpdatesEnabled(true);
  ed_.MemoJump().SetCaret(0);
  ed_.UpdateCaretPanel();
  ed_.updateActionStates();
}

void TTextCommands::ClearCursorPosMenuClick() {
  if (!ed_.Project().Root())
    return;
  if (ed_.ShowMessageBox(Q(u"すべての項目のカーソル位置をクリアします。よろしいですか?"),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                         ui::MsgAnswer::No) != ui::MsgAnswer::Yes)
    return;
  // Every item once, in pre-order, each written on its own: an item that
  // cannot be written is listed and the walk goes on (walking by selection
  // would stay on such an item, since a failed store refuses the change).
  std::vector<TProjectNode *> failed;
  {
    ui::BusyCursor busy;
    TVaveDataBase *tree = ed_.Tree();
    TItemMemo *memo = ed_.Memo();
    tree->setUpdatesEnabled(false);
    memo->setUpdatesEnabled(false);
    for (TProjectNode *n = ed_.Project().Tree().GetFirstNode(); n; n = n->GetNext()) {
      bool ok;
      if (n->Data()->Missing) {
        continue; // never written: its file is to come back as it was
      } else if (n == ed_.CurrentNode()) {
        // The shown item keeps its edits: it is stored with them.
        ed_.MemoJump().SetCaret(0);
        ok = ed_.StoreItem(n).ok();
      } else {
        TNodeFiles &f = n->Data()->Files;
        f.Line = 0;
        f.Column = 1;
        const fsys::Status s = f.Save();
        // Changed elsewhere: the store takes the disk's version or asks.
        ok = s.code == fsys::kChangedOnDisk || s.code == fsys::kGoneFromDisk ? ed_.StoreItem(n).ok()
                                                                             : s.ok();
      }
      if (!ok)
        failed.push_back(n);
    }
    memo->setUpdatesEnabled(true);
    tree->setUpdatesEnabled(true);
  }
  ed_.UpdateCaretPanel();
  ed_.updateActionStates();
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
  ed_.ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::Ok);
}
