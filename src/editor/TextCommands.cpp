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
  auto dateTime = [this](int tag) { InsertDateTimeAction(tag); };
  auto clipboard = [this](int tag) { ClipboardTextAction(tag); };
  a.BindTagged(A::InsertDateAction, dateTime, writable);
  a.BindTagged(A::InsertTimeAction, dateTime, writable);
  // The tree has a Ctrl+Z of its own (UndoCommands).
  a.BindTagged(A::UndoAction, clipboard, [this] {
    return Writable() && ed_.MemoJump().CanUndo() && !ed_.Tree()->hasFocus();
  });
  a.BindTagged(A::CutToClipAction, clipboard,
               [=, this] { return Writable() && (selection() || label()); });
  a.BindTagged(A::CopyToClipAction, clipboard,
               [=, this] { return ed_.CurrentNode() && (selection() || label()); });
  a.BindTagged(A::PastClipTextAction, clipboard, [this] {
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    return Writable() && clip && clip->hasText();
  });
  a.BindTagged(A::SelectAllAction, clipboard);
  a.Bind(
      A::UndoItemMidifyAction, [this] { UndoItemMidifyAction(); },
      [this] { return Writable() && ed_.MemoModified(); });
  a.Bind(
      A::ClearCursorPosMenu, [this] { ClearCursorPosMenuClick(); },
      [this] { return ed_.Project().Root() != nullptr; });

  // An application-wide signal: bound to this object, which the window
  // deletes first, so that none arrives while the window is taken apart.
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
  const TDateTime now = clock_::Now();
  memo->textCursor().insertText(tag == EditorTag(TEditorAction::InsertDateAction) ? DateText(now)
                                                                                  : TimeText(now));
  memo->ensureCursorVisible();
  ed_.UpdateCaretPanel();
}

void TTextCommands::ClipboardTextAction(int tag) {
  using A = TEditorAction;
  TItemMemo *memo = ed_.Memo();
  TVaveDataBase *tree = ed_.Tree();
  QWidget *focus = QApplication::focusWidget();
  if (focus == memo) {
    switch (tag) {
    case EditorTag(A::UndoAction):
      ed_.MemoJump().Undo();
      break;
    case EditorTag(A::CutToClipAction):
      memo->cut();
      break;
    case EditorTag(A::CopyToClipAction):
      memo->copy();
      break;
    case EditorTag(A::PastClipTextAction):
      memo->paste(); // plain text only, checked by the memo
      break;
    case EditorTag(A::SelectAllAction):
      memo->selectAll();
      break;
    }
    ed_.UpdateCaretPanel();
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
  case EditorTag(A::CutToClipAction):
    tree->CutTitle();
    break;
  case EditorTag(A::CopyToClipAction):
    tree->CopyTitle();
    break;
  case EditorTag(A::PastClipTextAction):
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
  using A = TEditorAction;
  auto *key = static_cast<QKeyEvent *>(event);
  const A command = key->matches(QKeySequence::Cut)     ? A::CutToClipAction
                    : key->matches(QKeySequence::Copy)  ? A::CopyToClipAction
                    : key->matches(QKeySequence::Paste) ? A::PastClipTextAction
                                                        : A::Count_;
  if (command == A::Count_)
    return false;
  ClipboardTextAction(EditorTag(command));
  return true;
}

void TTextCommands::UndoItemMidifyAction() {
  TProjectNode *current = ed_.CurrentNode();
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
}

void TTextCommands::ClearCursorPosMenuClick() {
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
