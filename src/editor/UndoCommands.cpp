#include "editor/UndoCommands.h"

#include "editor/DeletedItemsForm.h"
#include "editor/VaveDataBase.h"
#include "store/Project.h"
#include "ui/BusyCursor.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

#include <QMainWindow>

namespace {

QString Q(const char16_t *s) { return QString::fromUtf16(s); }

// A node the history names may be out of the tree (in a step not replayed).
bool InTree(TEditorContext &ed, TProjectNode *node) {
  return node && ed.Project().Tree().Contains(node);
}

} // namespace

TUndoCommands::TUndoCommands(TEditorContext &editor) : ed_(editor) {}

TUndoCommands::~TUndoCommands() { ed_.Project().History().OnChange = nullptr; }

QString TUndoCommands::StepName(TTreeStep kind) {
  switch (kind) {
  case TTreeStep::NewItem:
    return Q(u"新規ｱｲﾃﾑ");
  case TTreeStep::NewSubItem:
    return Q(u"新規ｻﾌﾞｱｲﾃﾑ");
  case TTreeStep::Rename:
    return Q(u"ｱｲﾃﾑ名変更");
  case TTreeStep::Delete:
    return Q(u"削除");
  case TTreeStep::Up:
    return Q(u"上へ");
  case TTreeStep::Down:
    return Q(u"下へ");
  case TTreeStep::Lift:
    return Q(u"上位階層");
  case TTreeStep::Sink:
    return Q(u"下位階層");
  case TTreeStep::Drag:
    return Q(u"ﾄﾞﾗｯｸﾞ");
  case TTreeStep::Insert:
    return Q(u"ｱｲﾃﾑの挿入");
  case TTreeStep::Capture:
    return Q(u"取り込み");
  case TTreeStep::FileDrop:
    return Q(u"ﾌｧｲﾙのﾄﾞﾛｯﾌﾟ");
  case TTreeStep::Restore:
    return Q(u"削除したｱｲﾃﾑの復元");
  }
  return {};
}

bool TUndoCommands::Editable() const {
  return ed_.Project().Root() && !ed_.ProjectLocked() && ed_.Steady();
}

void TUndoCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  TTreeHistory &history = ed_.Project().History();
  // A step ends after its command's own update of the states.
  history.OnChange = [this] { ed_.updateActionStates(); };
  a.Bind(
      A::TreeUndoAction, [this] { Replay(true); },
      [this, &history] {
        UpdateHints(); // the step named follows the history
        return Editable() && history.CanUndo();
      });
  a.Bind(
      A::TreeRedoAction, [this] { Replay(false); },
      [this, &history] { return Editable() && history.CanRedo(); });
  a[A::TreeRedoAction]->setShortcuts(
      {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
  a.Bind(
      A::DeletedItemsAction, [this] { DeletedItemsAction(); }, [this] { return Editable(); });
}

void TUndoCommands::UpdateHints() {
  TTreeHistory &h = ed_.Project().History();
  auto set = [](QAction *action, const QString &hint) {
    action->setStatusTip(hint);
    action->setToolTip(hint);
  };
  TEditorActions &a = ed_.Actions();
  set(a[TEditorAction::TreeUndoAction],
      h.CanUndo() ? StepName(h.UndoKind()) + QStringLiteral(u"「") + ui::ToQString(h.UndoLabel()) +
                        Q(u"」を元に戻します")
                  : Q(u"最後のﾂﾘｰの変更を取り消します"));
  set(a[TEditorAction::TreeRedoAction],
      h.CanRedo() ? StepName(h.RedoKind()) + QStringLiteral(u"「") + ui::ToQString(h.RedoLabel()) +
                        Q(u"」をやり直します")
                  : Q(u"取り消したﾂﾘｰの変更をやり直します"));
}

bool TUndoCommands::Replay(bool undo) {
  TTreeHistory &history = ed_.Project().History();
  if (!Editable() || !(undo ? history.CanUndo() : history.CanRedo()))
    return false;
  // The text being edited is in its file before anything moves.
  if (!ed_.StoreOrTell(ed_.CurrentNode()) || !(undo ? history.CanUndo() : history.CanRedo()))
    return false; // (an answer to a file changed on disk may have changed the tree)
  // A completed item keeps its label, as the rename refuses it.
  const std::vector<TProjectNode *> relabels =
      undo ? history.UndoRelabels() : history.RedoRelabels();
  for (TProjectNode *n : relabels) {
    if (n->Data()->Files.Completion || n->Data()->Missing) {
      ed_.ShowMessageBox(QStringLiteral(u"「") + ui::ToQString(n->Text()) +
                             Q(u"」は変更できないアイテムです"),
                         ui::MsgIcon::Error, ui::MsgButtons::Ok);
      return false;
    }
  }
  // Text typed into an item since the step must not leave the tree unasked.
  const std::vector<TProjectNode *> edited =
      undo ? history.EditedBeforeUndo() : history.EditedBeforeRedo();
  if (!edited.empty()) {
    QString text = QStringLiteral(u"「") + ui::ToQString(edited.front()->Text()) +
                   Q(u"」のテキストはこの変更のあとで編集されています");
    if (edited.size() > 1)
      text += Q(u"(ほか %1 件)").arg(edited.size() - 1);
    text += Q(u"\r\nこのアイテムをツリーから外します。よろしいですか?");
    if (ed_.ShowMessageBox(text, ui::MsgIcon::Warning, ui::MsgButtons::YesNo, ui::MsgAnswer::No) !=
        ui::MsgAnswer::Yes)
      return false;
  }
  TVaveDataBase *view = ed_.Tree();
  ui::BusyCursor busy;
  // Off what goes first, so that the view does not pick a row by itself.
  TProjectNode *selected = view->Selected();
  if (undo ? history.UndoRemoves(selected) : history.RedoRemoves(selected)) {
    ed_.ForgetCurrentNode(); // stored above
    view->SelectNode(ed_.Project().Root());
  }
  const TTreeHistory::TReplay r = undo ? history.Undo() : history.Redo();
  // The item files take the labels back (or are asked about when changed on disk).
  for (TProjectNode *n : relabels) {
    if (!InTree(ed_, n))
      continue;
    (void)ed_.StoreOrTell(n); // told when not written; the label stays
    if (n == ed_.Project().Root())
      ed_.Window()->setWindowTitle(ui::ToQString(n->Text()));
    if (n == ed_.CurrentNode())
      ed_.FollowItemFiles(n);
  }
  TProjectNode *select = InTree(ed_, r.select) ? r.select : view->Selected();
  if (!InTree(ed_, select))
    select = ed_.Project().Root();
  if (select != view->Selected())
    view->SelectNode(select);
  view->scrollTo(view->IndexOf(select));
  if (!r.status.ok())
    ed_.ShowMessageBox(Q(u"アイテムのファイル名を元に戻せませんでした") +
                           ui::FileErrorText(r.status),
                       ui::MsgIcon::Error, ui::MsgButtons::Ok);
  ed_.updateActionStates();
  return r.done;
}

void TUndoCommands::DeletedItemsAction() {
  TProject &project = ed_.Project();
  if (!Editable() || !ed_.StoreOrTell(ed_.CurrentNode()))
    return;
  std::vector<TRestorable> items;
  {
    ui::BusyCursor busy;
    items = ListRestorable(project);
  }
  if (items.empty()) {
    ed_.ShowMessageBox(Q(u"削除したアイテムはありません"), ui::MsgIcon::Information,
                       ui::MsgButtons::Ok);
    return;
  }
  TDeletedItemsForm form(items, ed_.Window());
  const std::vector<TRestorable> chosen =
      form.exec() == QDialog::Accepted ? form.Chosen() : std::vector<TRestorable>{};
  if (chosen.empty() || !Editable())
    return;
  TVaveDataBase *view = ed_.Tree();
  TProjectNode *parent = view->Selected() ? view->Selected() : project.Root();
  TRestoreReport report;
  {
    ui::BusyCursor busy;
    TTreeHistory::Step step(project.History(), TTreeStep::Restore, {});
    report = RestoreItems(project, chosen, parent);
    if (!report.made.empty()) {
      project.History().SetLabel(report.made.front()->Text());
      project.Tree().SetExpanded(parent, true);
      view->SelectNode(report.made.front());
    }
  }
  if (!report.failure.ok())
    ed_.ShowMessageBox(Q(u"アイテムを復元できませんでした") + ui::FileErrorText(report.failure),
                       ui::MsgIcon::Error, ui::MsgButtons::Ok);
  ed_.updateActionStates();
}
