#include "editor/SaveCommands.h"

#include "editor/DiskChangeCommands.h"
#include "editor/VaveDataBase.h"
#include "editor/WindowSettings.h"
#include "store/Project.h"
#include "ui/BusyCursor.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

#include <QAction>
#include <QMainWindow>

#include <vector>

TSaveCommands::TSaveCommands(TEditorContext &editor, TDiskChangeCommands &diskChanges,
                             TWindowSettings &settings, std::function<void()> saved)
    : ed_(editor), diskChanges_(diskChanges), settings_(settings), saved_(std::move(saved)) {}

void TSaveCommands::Bind() {
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  a.Bind(
      A::SaveProjectAction, [this] { SaveProject(); },
      [this] { return ed_.Tree()->RootNode() != nullptr; });
  a.Bind(A::ExitProjectAction, [this] { ed_.Window()->close(); });
  a.Rule(A::AutoSaveMenu, [] { return true; }); // a check mark and nothing more
}

QString TSaveCommands::ItemFileProblem(TProjectNode *node, const fsys::Status &why) {
  QString text = QString::fromUtf16(u"現在のアイテムを保存できません");
  if (node)
    text += QStringLiteral("\r\n") + ui::PathToQString(node->Data()->Files.FilePath);
  // The path was named above; what failed may be that file or its folder.
  if (why.code)
    text += QStringLiteral("\r\n") + ui::ErrnoText(why.code);
  return text;
}

void TSaveCommands::RememberSavedSelection() {
  TProjectNode *selected = ed_.Tree()->Selected();
  savedSelectionID_ = selected ? selected->Data()->ID : std::string();
}

bool TSaveCommands::SaveProject(fsys::Status *tree) {
  ui::BusyCursor busy;
  TVaveDataBase *view = ed_.Tree();
  TProjectNode *selected = view->Selected();
  TProjectNode *edited = selected && ed_.HasUnsavedEdits(selected) ? selected : nullptr;
  const fsys::Status item = ed_.StoreItem(selected);
  const bool itemOk = item.ok();
  QString itemProblem = itemOk ? QString() : ItemFileProblem(selected, item);
  settings_.Collect();
  fsys::Status treeSaved = ed_.SaveTree();
  const int why = treeSaved.code;
  // Settled only when the item is on disk: a reload would drop its text.
  if (!treeSaved && itemOk && (why == fsys::kChangedOnDisk || why == fsys::kGoneFromDisk)) {
    treeSaved = diskChanges_.ResolveTreeChange(treeSaved, edited);
    selected = view->Selected();
  }
  if (!itemOk) {
    ed_.ShowMessageBox(itemProblem, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  if (tree)
    *tree = treeSaved;
  if (!treeSaved) {
    // The file that failed may be another than the tree file (a new item's
    // that the answer to a change on disk made): named with its reason.
    const std::string &treeFile = ed_.Project().TreeFilePath();
    QString text =
        QString::fromUtf16(u"ツリーファイルを保存できません\r\n") + ui::PathToQString(treeFile);
    if (!treeSaved.path.empty() && treeSaved.path != treeFile)
      text +=
          QString::fromUtf16(u"\r\n\r\n書き込めなかったファイル:") + ui::FileErrorText(treeSaved);
    else
      text += QStringLiteral("\r\n") + ui::ErrnoText(treeSaved.code);
    ed_.ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::Ok);
    return false;
  }
  ed_.SetMemoModified(false);
  savedSelectionID_ = selected ? selected->Data()->ID : std::string();
  diskChanges_.TreeSaved();
  if (saved_)
    saved_();
  return itemOk;
}

void TSaveCommands::CommitLabelEdit() { ed_.Tree()->CommitLabelEdit(); }

TSaveCommands::TOwedItems TSaveCommands::StoreOwedItems() {
  TProjectNode *selected = ed_.Tree()->Selected();
  std::vector<TProjectNode *> owed{selected};
  for (TProjectNode *n = ed_.Tree()->RootNode(); n; n = n->GetNext())
    if (n != selected && n->Data()->Unsaved)
      owed.push_back(n);
  TOwedItems result;
  diskChanges_.CloseQuery(true);
  for (TProjectNode *n : owed) {
    if (fsys::Status s = ed_.StoreItem(n); !s && !result.failed) {
      result.failed = n;
      result.why = s;
    }
    if (diskChanges_.CloseRefused())
      break;
  }
  diskChanges_.CloseQuery(false);
  result.stay = diskChanges_.CloseRefused();
  return result;
}

bool TSaveCommands::TreeNeedsSave() const {
  TProjectNode *selected = ed_.Tree()->Selected();
  const std::string selectedID = selected ? selected->Data()->ID : std::string();
  return ed_.Project().Modified() || selectedID != savedSelectionID_;
}

bool TSaveCommands::AskCloseQuestions() {
  CommitLabelEdit();
  const TOwedItems owed = StoreOwedItems();
  if (owed.stay)
    return false;
  if (owed.failed) {
    // The text on screen is not on disk: let the user decide, defaulting to stay.
    QString text = ItemFileProblem(owed.failed, owed.why) +
                   QString::fromUtf16(u"\r\n\r\n保存しないで閉じますか?");
    if (ed_.ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::YesNo, ui::MsgAnswer::No) !=
        ui::MsgAnswer::Yes)
      return false;
  }
  return !TreeNeedsSave() || SaveTreeOnClose();
}

bool TSaveCommands::SaveTreeOnClose() {
  ui::MsgAnswer answer = ui::MsgAnswer::Yes;
  if (!ed_.Actions()[TEditorAction::AutoSaveMenu]->isChecked())
    answer = ed_.ShowMessageBox(
        QStringLiteral("\"") + ui::ToQString(ed_.Project().Title()) +
            QString::fromUtf16(u"\"はツリーが変更されています\r\n保存しますか?") +
            (!diskChanges_.HasKeptCopies()
                 ? QString()
                 : QString::fromUtf16(
                       u"\r\n(「この画面の版」のアイテムは、保存しなくてもツリーに加えます)")),
        ui::MsgIcon::Information, ui::MsgButtons::YesNoCancel);
  if (answer == ui::MsgAnswer::Cancel)
    return false;
  if (answer == ui::MsgAnswer::No && diskChanges_.HasKeptCopies() &&
      !diskChanges_.AddKeptCopiesToDisk())
    return false;
  fsys::Status tree;
  if (answer == ui::MsgAnswer::Yes && !SaveProject(&tree) && !tree)
    return false; // the tree file could not be written: keep the window so nothing is lost
  return true;
}
