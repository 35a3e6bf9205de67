#include "editor/DiskChangeCommands.h"

#include "editor/DiskWatch.h"
#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "engine/MemoJump.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTextCursor>

#include <cerrno>
#include <map>

TDiskChangeCommands::TDiskChangeCommands(TEditorContext &editor) : ed_(editor) {}

TDiskChangeCommands::~TDiskChangeCommands() = default;

void TDiskChangeCommands::Bind() {
  watch_ = std::make_unique<TDiskWatch>(ed_.Window());
  watch_->Sweep = [this](size_t budget, bool restart) { CheckDisk(budget, restart); };
}

void TDiskChangeCommands::Follow(TProjectNode *node) {
  watch_->Follow(!node || node->Data()->Missing ? QString()
                                                : ui::PathToQString(node->Data()->Files.FilePath));
}

TProjectNode *TDiskChangeCommands::Root() const { return ed_.Project().Root(); }

void TDiskChangeCommands::StatusText(const QString &text) {
  ed_.Window()->statusBar()->showMessage(text);
}

void TDiskChangeCommands::CloseQuery(bool on) {
  closeQuery_ = on;
  if (on)
    closeRefused_ = false;
}

void TDiskChangeCommands::CaretKept() {
  if (caretNotKept_.isEmpty())
    return;
  caretNotKept_.clear();
  UpdateGonePanel();
}

void TDiskChangeCommands::ForgetAll() {
  sweep_ = nullptr;
  goneItems_.clear();
}

void TDiskChangeCommands::ForgetRemoved(TProjectNode *top) {
  sweep_ = nullptr;
  for (auto it = goneItems_.begin(); it != goneItems_.end();)
    it = *it == top || (*it)->HasAsParent(top) ? goneItems_.erase(it) : std::next(it);
}

namespace {
QString ItemNameAndPath(TProjectNode *node) {
  return QString::fromUtf16(u"「") + ui::ToQString(node->Text()) + QString::fromUtf16(u"」") +
         QString::fromUtf16(u"のファイル\r\n") + ui::PathToQString(node->Data()->Files.FilePath);
}
} // namespace

ui::MsgAnswer TDiskChangeCommands::AskChangedOnDisk(const QString &text, const QString &takeDisk) {
  ui::MessageBoxRequest ask;
  ask.parent = ed_.Window();
  ask.caption = ed_.Window()->windowTitle();
  ask.icon = ui::MsgIcon::Warning;
  ask.text = text;
  ask.buttons = ui::MsgButtons::YesNoCancel;
  // Enter and Escape keep both versions: the one answer that loses nothing.
  ask.defaultButton = ui::MsgAnswer::Cancel;
  ask.labels = {takeDisk, QString::fromUtf16(u"上書きする(&O)"),
                QString::fromUtf16(u"両方残す(&B)")};
  return ui::ShowMessageBox(ask);
}

fsys::Status TDiskChangeCommands::ResolveDiskChange(TProjectNode *node, bool changed,
                                                    const fsys::Status &why) {
  if (why.code == fsys::kGoneFromDisk) {
    // Deleted elsewhere: made again only when it holds something to keep,
    // and only when the user says so. A "no" keeps the text in memory (the
    // item stays changed); the close asks once more, and only there can the
    // text be let go.
    bool write = false;
    if (changed && !closeQuery_) {
      write =
          ed_.ShowMessageBox(ItemNameAndPath(node) +
                                 QString::fromUtf16(u"\r\nは、ほかのプログラムで削除されています"
                                                    u"\r\n\r\n"
                                                    u"この画面の内容でファイルを作り直しますか?"),
                             ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                             ui::MsgAnswer::Yes) == ui::MsgAnswer::Yes;
    } else if (changed) {
      ui::MessageBoxRequest ask;
      ask.parent = ed_.Window();
      ask.caption = ed_.Window()->windowTitle();
      ask.icon = ui::MsgIcon::Warning;
      ask.text = ItemNameAndPath(node) +
                 QString::fromUtf16(u"\r\nは、ほかのプログラムで削除されています\r\n"
                                    u"この画面での変更は、まだどのファイルにもありません\r\n\r\n"
                                    u"この画面の内容でファイルを作り直しますか?");
      ask.buttons = ui::MsgButtons::YesNoCancel;
      ask.defaultButton = ui::MsgAnswer::Yes;
      ask.labels = {QString::fromUtf16(u"作り直す(&R)"), QString::fromUtf16(u"変更を捨てる(&D)"),
                    QString::fromUtf16(u"閉じない")};
      const ui::MsgAnswer answer = ui::ShowMessageBox(ask);
      if (answer == ui::MsgAnswer::Cancel) {
        closeRefused_ = true;
        return {"store", node->Data()->Files.FilePath, ECANCELED};
      }
      write = answer == ui::MsgAnswer::Yes;
      if (!write)
        node->Data()->Unsaved = false; // let go, as the user said
    }
    if (!write) {
      MarkGone(node);
      return {};
    }
    return SaveOwnVersion(node);
  }
  // Only the caret differed: the version on disk is taken without a word
  // (gone meanwhile: marked, not made again).
  if (!changed) {
    if (!ReloadItem(node, false))
      MarkGone(node);
    return {};
  }

  const ui::MsgAnswer answer = AskChangedOnDisk(
      ItemNameAndPath(node) +
          QString::fromUtf16(u"\r\nは、読み込んだ後にほかのプログラムで変更されています"
                             u"\r\n\r\n"
                             u"ディスクの版を読み込みますか、この画面の版で上書きしますか?\r\n"
                             u"両方残すと、この画面の版はすぐ下の新しいアイテムに入ります"),
      QString::fromUtf16(u"ディスクの版を読み込む(&D)"));
  switch (answer) {
  case ui::MsgAnswer::Yes:
    // The edits made here stay one undo away in the text.
    if (ReloadItem(node, true))
      return {};
    return SaveOwnVersion(node);
  case ui::MsgAnswer::No:
    return SaveOwnVersion(node);
  default:
    return KeepBothVersions(node);
  }
}

fsys::Status TDiskChangeCommands::SaveOwnVersion(TProjectNode *node) {
  TNodeFiles &f = node->Data()->Files;
  if (fsys::Status s = f.Save(TNodeFiles::Overwrite::Always); !s)
    return s;
  node->Data()->Unsaved = false;
  goneItems_.erase(node);
  if (node == ed_.CurrentNode())
    ed_.RememberStored(f);
  UpdateGonePanel();
  return {};
}

fsys::Status TDiskChangeCommands::KeepBothVersions(TProjectNode *node) {
  // The text of this window goes into a new item first: when it cannot be
  // written, the item keeps it and nothing is reloaded.
  TProjectTree &tree = ed_.Project().Tree();
  const TNodeFiles &own = node->Data()->Files;
  auto data = std::make_unique<TNodeData>();
  ed_.Project().InitItem(*data);
  const std::string path = data->Files.FilePath;
  data->Files.Assign(own);
  data->Files.FilePath = path;
  // Marked, so that the two rows can be told apart.
  std::string mark;
  if (ui::FromQString(QString::fromUtf16(u"(この画面の版)"), mark))
    data->Files.Title += mark;
  if (fsys::Status s = data->Files.Save(); !s)
    return s;
  const std::string title = data->Files.Title;
  TProjectNode *copy =
      node == Root() ? tree.InsertAt(node, 0, title, std::move(data))
                     : tree.InsertAt(node->Parent(), node->Index() + 1, title, std::move(data));
  keptCopies_.push_back({ExtractFileName(path), ExtractFileName(own.FilePath)});
  tree.NotifyDataChanged(copy);
  ed_.Project().SetModified(true); // the tree has an item more
  node->Data()->Unsaved = false;   // its edits are on disk, in the new item
  if (!ReloadItem(node, false)) {
    // Gone meanwhile: this window's text is safe in the new item.
    MarkGone(node);
  }
  return {};
}

bool TDiskChangeCommands::ReloadItem(TProjectNode *node, bool undoable) {
  TNodeFiles &f = node->Data()->Files;
  TNodeFiles fresh;
  fresh.FilePath = f.FilePath;
  if (!fresh.Open(true, nullptr))
    return false;
  f.Assign(fresh);
  f.Disk = fresh.Disk;
  node->Data()->Unsaved = false;
  goneItems_.erase(node);
  // What came from disk is no change of this window's.
  const bool wasModified = ed_.Project().Modified();
  if (node->Text() != f.Title)
    ed_.Project().Tree().SetText(node, f.Title);
  ed_.Project().SetModified(wasModified);
  ed_.Project().Tree().NotifyDataChanged(node);
  if (node == Root())
    ed_.Window()->setWindowTitle(ui::ToQString(f.Title));
  if (node == ed_.CurrentNode())
    ShowReloaded(node, undoable);
  UpdateGonePanel();
  return true;
}

void TDiskChangeCommands::ShowReloaded(TProjectNode *node, bool undoable) {
  const TNodeFiles &f = node->Data()->Files;
  const int line = ed_.MemoJump().CaretLine();
  const int column = ed_.MemoJump().CaretColumn();
  const QString text = ui::ToQString(f.Body.Joined());
  if (undoable) {
    QTextCursor all(ed_.Memo()->document());
    all.select(QTextCursor::Document);
    ed_.Memo()->InsertPlainText(all, text);
  } else {
    ed_.ShowMemoText(f.Body);
  }
  ed_.MemoJump().JumpTo(line, column);
  ed_.FollowItemFiles(node);
  ed_.SetMemoModified(false);
  ed_.UpdateCaretPanel();
}

void TDiskChangeCommands::CheckDisk(size_t budget, bool restart) {
  // Not in the middle of something: a load, a question, a drag, a label
  // being typed, a close.
  if (checkingDisk_ || !ed_.Steady() || !Root() || !ed_.Window()->isVisible() ||
      QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
      QApplication::mouseButtons() != Qt::NoButton || ed_.Tree()->IsEditingLabel())
    return;
  checkingDisk_ = true;
  CheckTreeOnDisk();
  if (restart)
    sweep_ = nullptr;
  TProjectNode *n = sweep_ ? sweep_ : Root();
  for (size_t i = 0; n && i < budget; ++i) {
    CheckItemOnDisk(n); // changes no structure
    n = n->GetNext();
  }
  sweep_ = n;
  checkingDisk_ = false;
}

void TDiskChangeCommands::CheckTreeOnDisk() {
  const fsys::DiskChange change = ed_.Project().Tree().CheckTreeFile();
  if (change == fsys::DiskChange::None) {
    treeTold_ = fsys::Stamp{};
    return;
  }
  // Told once for each version on disk.
  const fsys::Stamp now = fsys::Peek(ed_.Project().TreeFilePath());
  if (treeTold_.known && fsys::SameVersion(now, treeTold_))
    return;
  treeTold_ = now;
  const QString path = ui::PathToQString(ed_.Project().TreeFilePath());
  if (change == fsys::DiskChange::Gone) {
    StatusText(QString::fromUtf16(u"ツリーファイルがほかのプログラムで削除されました: ") + path);
    return;
  }
  // This window's own tree changes are settled when it is saved.
  if (ed_.Project().Modified()) {
    StatusText(QString::fromUtf16(u"ツリーファイルがほかのプログラムで変更されました"
                                  u"(保存するときに確かめます): ") +
               path);
    return;
  }
  // A reload that cannot work is not offered.
  if (const QString why = TreeFileProblem(); !why.isEmpty()) {
    TellTreeUnreadable(why);
    return;
  }
  if (ed_.ShowMessageBox(QString::fromUtf16(u"「") + ui::ToQString(ed_.Project().Title()) +
                             QString::fromUtf16(u"」のツリーファイル\r\n") + path +
                             QString::fromUtf16(u"\r\nが、ほかのプログラムで変更されました\r\n\r\n"
                                                u"プロジェクトを読み込み直しますか?"),
                         ui::MsgIcon::Question, ui::MsgButtons::YesNo,
                         ui::MsgAnswer::Yes) != ui::MsgAnswer::Yes)
    return;
  // The shown item goes to disk first; the reload reads it back.
  TProjectNode *edited =
      ed_.CurrentNode() && ed_.HasUnsavedEdits(ed_.CurrentNode()) ? ed_.CurrentNode() : nullptr;
  if (!ed_.StoreOrTell(ed_.CurrentNode()))
    return;
  if (ReloadProject(edited))
    treeTold_ = fsys::Stamp{};
}

void TDiskChangeCommands::CheckItemOnDisk(TProjectNode *node) {
  TNodeData &d = *node->Data();
  if (d.Missing)
    return;
  switch (d.Files.CheckDisk()) {
  case fsys::DiskChange::None:
    if (goneItems_.erase(node)) // back as it was
      UpdateGonePanel();
    return;
  case fsys::DiskChange::Gone:
    if (!goneItems_.count(node))
      MarkGone(node);
    return;
  case fsys::DiskChange::Changed:
    if (!ed_.HasUnsavedEdits(node))
      ReloadItem(node, false);
    return;
  }
}

void TDiskChangeCommands::MarkGone(TProjectNode *node) {
  goneItems_.insert(node);
  UpdateGonePanel();
}

void TDiskChangeCommands::UpdateGonePanel() {
  if (ed_.CurrentNode() && goneItems_.count(ed_.CurrentNode()))
    StatusText(QString::fromUtf16(u"このアイテムのファイルは削除されています: ") +
               ui::PathToQString(ed_.CurrentNode()->Data()->Files.FilePath));
  else if (!caretNotKept_.isEmpty())
    StatusText(caretNotKept_);
  else
    ed_.Window()->statusBar()->clearMessage();
}

void TDiskChangeCommands::TellCaretNotKept(const fsys::Status &why) {
  // Said once: it stands in the status bar until a write succeeds again.
  if (!caretNotKept_.isEmpty())
    return;
  caretNotKept_ = QString::fromUtf16(u"カーソルの位置を記憶できません(") + ui::ErrnoText(why.code) +
                  QString::fromUtf16(u"): ") + ui::PathToQString(why.path);
  UpdateGonePanel();
}

fsys::Status TDiskChangeCommands::ResolveTreeChange(const fsys::Status &refused,
                                                    TProjectNode *edited) {
  const int why = refused.code;
  const QString tree = QString::fromUtf16(u"「") + ui::ToQString(ed_.Project().Title()) +
                       QString::fromUtf16(u"」のツリーファイル\r\n") +
                       ui::PathToQString(ed_.Project().TreeFilePath());
  using Overwrite = TProjectTree::TreeOverwrite;
  if (why == fsys::kGoneFromDisk) {
    if (ed_.ShowMessageBox(tree + QString::fromUtf16(u"\r\nは、ほかのプログラムで削除されています"
                                                     u"\r\n\r\n"
                                                     u"このウィンドウのツリーで作り直しますか?"),
                           ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                           ui::MsgAnswer::Yes) != ui::MsgAnswer::Yes)
      return refused;
    return ed_.SaveTree(Overwrite::Always);
  }
  // A tree file no load can use is no version to keep: the window's tree
  // replaces it (the old file stays as the backup).
  TProject disk;
  disk.Tree().LoadMode = TLoadMode::TreeOnly;
  if (!disk.Load(ed_.Project().Dir()).RootLoaded)
    return ed_.SaveTree(Overwrite::Always);

  const ui::MsgAnswer answer = AskChangedOnDisk(
      tree + QString::fromUtf16(u"\r\nは、読み込んだ後にほかのプログラムで変更されています"
                                u"\r\n\r\n"
                                u"プロジェクトを読み込み直しますか、このウィンドウのツリーで"
                                u"上書きしますか?\r\n"
                                u"両方残すと、ディスクのツリーを読み込み、このウィンドウにだけある"
                                u"アイテムをその最後にまとめます"),
      QString::fromUtf16(u"プロジェクトを読み込み直す(&R)"));
  switch (answer) {
  case ui::MsgAnswer::Yes: {
    // A reload that left the tree shown, or whose tree could not be saved
    // with what only this window held, is no save.
    fsys::Status saved;
    if (!ReloadProject(edited, true, &saved))
      return refused;
    return saved;
  }
  case ui::MsgAnswer::No:
    return ed_.SaveTree(Overwrite::Always);
  default:
    return KeepBothTrees(disk, refused);
  }
}

namespace {
std::string FileOf(const TNodeData &d) {
  return d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath);
}
} // namespace

QString TDiskChangeCommands::TreeFileProblem() const {
  TProject disk;
  disk.Tree().LoadMode = TLoadMode::TreeOnly;
  if (disk.Load(ed_.Project().Dir()).RootLoaded)
    return {};
  std::string bytes;
  if (fsys::Status s = fsys::ReadFile(ed_.Tree()->Project().TreeFilePath(), bytes); !s)
    return ui::ErrnoText(s.code);
  const std::string &rootFile = disk.WindowData().RootFileName;
  if (rootFile.empty())
    return QString::fromUtf16(u"ルートアイテムの記述がありません");
  return QString::fromUtf16(u"ルートアイテムのファイルを読み込めません: ") +
         ui::PathToQString(ed_.Project().Dir() + rootFile);
}

void TDiskChangeCommands::TellTreeUnreadable(const QString &why) {
  ed_.ShowMessageBox(QString::fromUtf16(u"「") + ui::ToQString(ed_.Project().Title()) +
                         QString::fromUtf16(u"」のツリーファイル\r\n") +
                         ui::PathToQString(ed_.Project().TreeFilePath()) +
                         QString::fromUtf16(u"\r\nが、ほかのプログラムで変更されましたが、"
                                            u"読み込めません\r\n") +
                         why +
                         QString::fromUtf16(u"\r\n\r\nこのウィンドウのツリーをそのまま使います"
                                            u"(保存すると、このツリーで書き直します)"),
                     ui::MsgIcon::Warning, ui::MsgButtons::Ok);
}

bool TDiskChangeCommands::ReloadProject(TProjectNode *edited, bool keepHeld, fsys::Status *saved) {
  // Never trade the tree shown, with its edits, for an empty one.
  if (const QString why = TreeFileProblem(); !why.isEmpty()) {
    TellTreeUnreadable(why);
    return false;
  }
  const std::string selectedID = ed_.CurrentNode() ? ed_.CurrentNode()->Data()->ID : std::string();
  // Texts only this window holds, in tree order (a parent before its children).
  struct Held {
    TNodeData data;
    std::string label, parentFile, afterFile; // a copy goes after its original
    bool shown;
  };
  std::vector<Held> held;
  std::map<std::string, std::string> copies; // copy file -> original file
  for (const KeptCopy &k : keptCopies_)
    copies[k.copy] = k.original;
  for (TProjectNode *n = keepHeld ? Root() : nullptr; n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    const auto copy = copies.find(FileOf(d));
    if (n == edited || d.Unsaved || copy != copies.end())
      held.push_back({d, n->Text(), n->Parent() ? FileOf(*n->Parent()->Data()) : std::string(),
                      copy != copies.end() ? copy->second : std::string(), n == ed_.CurrentNode()});
  }
  ed_.LoadAgain();
  // What the tree on disk names takes back the edits still owed to it; what
  // it does not name becomes an item of its own, below its parent if that
  // is there.
  std::map<std::string, TProjectNode *> byFile;
  for (TProjectNode *n = Root(); n && !held.empty(); n = n->GetNext())
    byFile[FileOf(*n->Data())] = n;
  TProjectTree &tree = ed_.Project().Tree();
  TProjectNode *heldShown = nullptr;
  QString added;
  for (Held &h : held) {
    const std::string file = FileOf(h.data);
    if (auto found = byFile.find(file); found != byFile.end()) {
      TNodeData &d = *found->second->Data();
      if (h.data.Unsaved) {
        if (d.Missing)
          d.Files.Disk = h.data.Files.Disk;
        d.Files.Assign(h.data.Files);
        d.Missing = false;
        d.Unsaved = true;
        tree.SetText(found->second, h.label);
      }
      if (h.shown)
        heldShown = found->second;
      continue;
    }
    auto parent = byFile.find(h.parentFile);
    auto after = byFile.find(h.afterFile);
    h.data.ID = ed_.Project().NextItemID(); // the other tree may use the old one
    auto data = std::make_unique<TNodeData>(std::move(h.data));
    TProjectNode *n = after != byFile.end() && after->second->Parent()
                          ? tree.InsertAt(after->second->Parent(), after->second->Index() + 1,
                                          h.label, std::move(data))
                          : tree.AddChild(parent != byFile.end() ? parent->second : Root(), h.label,
                                          std::move(data));
    byFile[file] = n;
    if (h.shown)
      heldShown = n;
    added += (added.isEmpty() ? QString() : QStringLiteral(", ")) + ui::ToQString(h.label);
  }
  TProjectNode *select = heldShown ? heldShown : ed_.Tree()->Selected();
  for (TProjectNode *n = Root(); n && !heldShown && !selectedID.empty(); n = n->GetNext())
    if (n->Data()->ID == selectedID) {
      select = n;
      break;
    }
  if (select && select != ed_.Tree()->Selected())
    ed_.Tree()->SelectNode(select);
  ed_.VaveTreeChange(ed_.Tree()->Selected());
  ed_.RememberSavedSelection();
  ed_.Project().SetModified(false);
  fsys::Status save;
  if (!added.isEmpty()) {
    // Saved now, so that the tree on disk names them.
    ed_.Project().SetModified(true);
    save = ed_.SaveTree();
    StatusText(
        QString::fromUtf16(
            u"読み込んだツリーになかった、この画面だけにある内容をアイテムとして残しました: ") +
        added);
  }
  if (save)
    keptCopies_.clear();
  if (saved)
    *saved = save;
  ed_.updateActionStates();
  return true;
}

fsys::Status TDiskChangeCommands::KeepBothTrees(const TProject &disk, const fsys::Status &refused) {
  // What only this window's tree names, with the data it has (on disk
  // already: every item is stored as it is left).
  std::set<std::string> named;
  for (TProjectNode *n = disk.Tree().GetFirstNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    named.insert(d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath));
  }
  struct Only {
    TNodeData data;
    int parent; // index into `only`, -1: below the new holder item
    bool expanded;
  };
  std::vector<Only> only;
  std::map<TProjectNode *, int> index;
  for (TProjectNode *n = Root(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    if (named.count(d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath)))
      continue;
    auto up = n->Parent() ? index.find(n->Parent()) : index.end();
    index[n] = static_cast<int>(only.size());
    only.push_back(Only{d, up == index.end() ? -1 : up->second, n->Expanded()});
  }
  if (!ReloadProject(nullptr, false))
    return refused;
  if (only.empty() || !Root())
    return {};

  TProjectTree &tree = ed_.Project().Tree();
  auto holderData = std::make_unique<TNodeData>();
  ed_.Project().InitItem(*holderData);
  ui::FromQString(QString::fromUtf16(u"このウィンドウにだけあったアイテム"),
                  holderData->Files.Title);
  holderData->Files.Author = ed_.Author();
  if (fsys::Status s = holderData->Files.Save(); !s)
    return s;
  const std::string holderTitle = holderData->Files.Title;
  TProjectNode *holder = tree.AddChild(Root(), holderTitle, std::move(holderData));
  std::vector<TProjectNode *> made;
  for (Only &o : only) {
    auto data = std::make_unique<TNodeData>();
    ed_.Project().InitItem(*data); // a fresh ID: the other tree may use this one
    const std::string id = data->ID;
    *data = std::move(o.data);
    data->ID = id;
    const std::string label = data->Missing ? data->ListedFileName : data->Files.Title;
    made.push_back(tree.AddChild(o.parent < 0 ? holder : made[static_cast<size_t>(o.parent)], label,
                                 std::move(data)));
  }
  for (size_t i = 0; i < only.size(); ++i)
    tree.SetExpanded(made[i], only[i].expanded);
  tree.SetExpanded(holder, true);
  tree.NotifyDataChanged(holder);
  ed_.Project().SetModified(true);
  return ed_.SaveTree();
}

bool TDiskChangeCommands::AddKeptCopiesToDisk() {
  // The tree on disk as it is, with the copies and nothing else of this
  // window's changes.
  std::map<std::string, TProjectNode *> mine, theirs;
  for (TProjectNode *n = Root(); n; n = n->GetNext())
    mine[FileOf(*n->Data())] = n;
  TProject disk;
  disk.Tree().LoadMode = TLoadMode::TreeOnly;
  fsys::Status saved{};
  if (disk.Load(ed_.Project().Dir()).RootLoaded) {
    for (TProjectNode *n = disk.Root(); n; n = n->GetNext())
      theirs[FileOf(*n->Data())] = n;
    TProjectTree &tree = disk.Tree();
    for (const KeptCopy &k : keptCopies_) {
      auto own = mine.find(k.copy);
      if (own == mine.end() || theirs.count(k.copy)) // deleted here since, or named already
        continue;
      auto data = std::make_unique<TNodeData>();
      data->ID = disk.NextItemID();
      data->Files.FilePath = ed_.Project().Dir() + k.copy;
      auto at = theirs.find(k.original);
      theirs[k.copy] = at != theirs.end() && at->second->Parent()
                           ? tree.InsertAt(at->second->Parent(), at->second->Index() + 1,
                                           own->second->Text(), std::move(data))
                           : tree.AddChild(disk.Root(), own->second->Text(), std::move(data));
    }
    saved = disk.Save();
  }
  if (saved && disk.Root()) {
    keptCopies_.clear();
    return true;
  }
  QString files;
  for (const KeptCopy &k : keptCopies_)
    files += QStringLiteral("\r\n") + ui::PathToQString(ed_.Project().Dir() + k.copy);
  ed_.ShowMessageBox(
      QString::fromUtf16(u"「この画面の版」のアイテムをツリーファイルに加えられません") +
          QStringLiteral("\r\n") + ui::PathToQString(ed_.Project().TreeFilePath()) +
          QString::fromUtf16(u"\r\n\r\nその内容は次のファイルにあります") + files,
      ui::MsgIcon::Error, ui::MsgButtons::Ok);
  return false;
}
