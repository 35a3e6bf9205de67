#include "editor/RecoveryCommands.h"

#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "engine/MemoJump.h"
#include "store/DateTime.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>

namespace {

// While the program ends without a chance to ask: a box that would open
// answers as dismissed (a test's scripted answers still hear of it).
class NoBoxes {
public:
  NoBoxes() {
    previous_ = ui::SetMessageBoxHook([this](const ui::MessageBoxRequest &r) {
      return previous_ ? previous_(r) : ui::DismissAnswer(r.buttons);
    });
  }
  ~NoBoxes() { ui::SetMessageBoxHook(previous_); }
  NoBoxes(const NoBoxes &) = delete;
  NoBoxes &operator=(const NoBoxes &) = delete;

private:
  ui::MessageBoxHook previous_;
};

} // namespace

TRecoveryCommands::TRecoveryCommands(TEditorContext &editor, TVaveMainForm &window)
    : ed_(editor), window_(window) {
  // The writer's thread hears of a failed write; the window says it.
  writer_ = std::make_unique<recovery::TWriter>(Root(), [this](const fsys::Status &s) {
    QMetaObject::invokeMethod(
        this, [this, s] { TellUnprotected(s); }, Qt::QueuedConnection);
  });
  idle_.setSingleShot(true);
  connect(&idle_, &QTimer::timeout, this, [this] { WriteNow(); });
}

TRecoveryCommands::~TRecoveryCommands() = default;

std::string TRecoveryCommands::Root() { return recovery::DefaultRoot(); }

void TRecoveryCommands::SetPace(int idleMs, int maxMs) {
  idleMs_ = idleMs;
  maxMs_ = maxMs;
}

void TRecoveryCommands::Bind() {
  QAbstractItemModel *model = ed_.Tree()->Model();
  auto tree = [this] { Changed(true); };
  connect(model, &QAbstractItemModel::rowsInserted, this, tree);
  connect(model, &QAbstractItemModel::rowsRemoved, this, tree);
  connect(model, &QAbstractItemModel::rowsMoved, this, tree);
  connect(model, &QAbstractItemModel::modelReset, this, tree);
  connect(model, &QAbstractItemModel::dataChanged, this, tree);
  connect(ed_.Memo(), &QPlainTextEdit::textChanged, this, [this] { Changed(false); });
  // A label being typed is copied too.
  connect(ed_.Tree()->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
          [this] { Changed(false); });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
    auto *label = qobject_cast<QLineEdit *>(now);
    if (!label || label != ed_.Tree()->LabelEditor() || label == watchedLabel_)
      return;
    watchedLabel_ = label;
    connect(label, &QLineEdit::textEdited, this, [this] { Changed(false); });
  });
  // Leaving an item stores it: what the entry held of it is then obsolete.
  connect(ed_.Tree(), &TVaveDataBase::currentNodeChanged, this, [this] { Changed(false); });
  connect(&window_, &TVaveMainForm::projectSaved, this, [this] { Obsolete(); });
  connect(&window_, &TVaveMainForm::itemStored, this,
          [this](const std::string &name) { written_.insert(name); });
  connect(&window_, &TVaveMainForm::editorClosing, this, [this] {
    // The close stored the items and saved the tree or was told not to.
    idle_.stop();
    if (active_) {
      recovery::Entry gone; // an empty entry: the file goes
      gone.Path = own_;
      writer_->Post(std::move(gone));
    }
    active_ = false;
    (void)writer_->Flush(); // a failure leaves an entry the next open offers
  });
}

void TRecoveryCommands::Changed(bool tree) {
  if (tree)
    treeDirty_ = true;
  if (!active_ || !ed_.Steady())
    return;
  if (!firstChange_.isValid())
    firstChange_.start();
  // Typing without a pause is copied at least every maxMs_.
  const qint64 waited = firstChange_.elapsed();
  idle_.start(waited >= maxMs_ ? 0 : std::min<qint64>(idleMs_, maxMs_ - waited));
}

void TRecoveryCommands::Obsolete() {
  if (!active_)
    return;
  treeDirty_ = true;
  WriteNow(); // most often an empty entry now: the file goes
  DropSavedFromOtherCopies();
}

void TRecoveryCommands::DropSavedFromOtherCopies() {
  TProject &project = ed_.Project();
  std::vector<recovery::Copy> others =
      recovery::CopiesOf(writer_->Root(), project.Dir(), identity_);
  std::erase_if(others, [this](const recovery::Copy &c) { return c.entry.Path == own_; });
  if (others.empty())
    return;
  // Written with this window's edits, and still as this window left it.
  std::vector<std::string> written;
  for (TProjectNode *n = project.Root(); n; n = n->GetNext()) {
    TNodeFiles &f = n->Data()->Files;
    if (!n->Data()->Missing && written_.count(ExtractFileName(f.FilePath)) &&
        f.CheckDisk() == fsys::DiskChange::None)
      written.push_back(ExtractFileName(f.FilePath));
  }
  for (const recovery::Copy &c : others)
    if (!c.damaged())
      (void)recovery::DropItems(writer_->Root(), c.entry.Path, written); // kept whole otherwise
}

recovery::Entry TRecoveryCommands::Snapshot() {
  recovery::Entry e;
  TProject &project = ed_.Project();
  e.Path = own_;
  e.Dir = project.Dir();
  e.Identity = identity_;
  e.Made = clock_::Now().ToString();
  if (!project.Root())
    return e;
  if (project.Modified()) {
    if (treeDirty_ || !treeDocument_) {
      project.Tree().SetSelected(ed_.Tree()->Selected());
      auto document = std::make_shared<TIniFile>();
      if (project.Tree().BuildTreeFile(*document))
        treeDocument_ = std::move(document);
      treeDirty_ = false;
    }
    e.TreeDocument = treeDocument_;
    e.TreeBase = project.Tree().TreeFileStamp();
  }
  TProjectNode *current = ed_.CurrentNode();
  // A label being typed is the item's title to come.
  TProjectNode *labelled = nullptr;
  std::string label;
  if (QLineEdit *editor = ed_.Tree()->LabelEditor())
    if (ui::FromQString(editor->text(), label))
      labelled = TVaveTreeModel::NodeOf(ed_.Tree()->currentIndex());
  for (TProjectNode *n = project.Root(); n; n = n->GetNext()) {
    const bool relabelled = n == labelled && label != n->Text();
    // A missing item's file is never written: it holds no edits.
    if (n->Data()->Missing || (!relabelled && !ed_.HasUnsavedEdits(n)))
      continue;
    TNodeFiles copy;
    copy.Assign(n->Data()->Files);
    copy.Title = relabelled ? label : n->Text();
    if (n == current) {
      copy.Body = ed_.MemoLines();
      copy.Line = ed_.MemoJump().CaretLine();
      copy.Column = ed_.MemoJump().CaretColumn();
    }
    e.Items.push_back(recovery::ItemOf(*n, copy.Serialize()));
  }
  return e;
}

void TRecoveryCommands::WriteNow() {
  idle_.stop();
  firstChange_.invalidate();
  if (!active_)
    return;
  writer_->Post(Snapshot());
}

fsys::Status TRecoveryCommands::Flush() { return writer_->Flush(); }

// ---------------------------------------------------------------- the open ----

ui::MsgAnswer TRecoveryCommands::Ask(const QString &text, ui::MsgIcon icon, ui::MsgButtons buttons,
                                     ui::MsgAnswer byDefault, QStringList labels) {
  ui::MessageBoxRequest r;
  r.parent = ed_.Window();
  r.text = text;
  r.caption = QStringLiteral("Orvane");
  r.icon = icon;
  r.buttons = buttons;
  r.defaultButton = byDefault;
  r.labels = std::move(labels);
  return ui::ShowMessageBox(r);
}

void TRecoveryCommands::TellUnprotected(const fsys::Status &why) {
  ed_.Window()->statusBar()->showMessage(
      QString::fromUtf16(u"復元データを書き込めません。保存するまで変更は守られません") +
      ui::FileErrorText(why));
}

void TRecoveryCommands::OfferAtOpen(const std::string &dir) {
  active_ = false;
  offered_.clear();
  const std::string root = writer_->Root();
  dir_ = dir;
  identity_ = recovery::IdentityOfDir(dir);
  own_ = recovery::NewEntryPath(root, dir);
  written_.clear();
  if (fsys::Status s =
          root.empty() ? fsys::Status{"open", "recovery", ENOENT} : recovery::CheckRoot(root);
      !s) {
    TellUnprotected(s);
    return;
  }
  // Copies of earlier runs stay as they are until the user decides: this
  // window writes a copy of its own beside them.
  active_ = true;
  std::vector<recovery::Copy> copies = recovery::CopiesOf(root, dir, identity_);
  for (size_t i = 0; i < copies.size(); ++i)
    Offer(copies[i], i, copies.size());
}

void TRecoveryCommands::Offer(recovery::Copy &copy, size_t index, size_t count) {
  const std::string root = writer_->Root();
  recovery::Entry &entry = copy.entry;
  if (copy.damaged()) {
    // Never deleted unasked, never offered again: kept under another name.
    std::string kept;
    const fsys::Status aside = recovery::SetAside(root, entry.Path, kept);
    Ask(QString::fromUtf16(u"前回の復元データが壊れていて読み込めません") +
            ui::FileErrorText(copy.status) +
            (aside ? QString::fromUtf16(u"\r\n別の名前で残しました:\r\n") + ui::PathToQString(kept)
                   : QString()),
        ui::MsgIcon::Warning, ui::MsgButtons::Ok, ui::MsgAnswer::Ok);
    return;
  }
  const std::string &dir = dir_; // where the project is now, moved or not
  const recovery::Summary summary = recovery::Describe(entry, dir);
  if (summary.sameAsDisk) {                   // nothing in it the files lack
    (void)recovery::Remove(root, entry.Path); // offered again at worst
    return;
  }
  QString text = QString::fromUtf16(u"前回、保存されていない変更が残っています。\r\n") +
                 ui::PathToQString(dir) + QStringLiteral("\r\n(") + ui::ToQString(entry.Made) +
                 (count > 1 ? QStringLiteral("  %1 / %2").arg(index + 1).arg(count) : QString()) +
                 QStringLiteral(")\r\n") +
                 QString::fromUtf16(u"内容: アイテムの本文 %1 件").arg(summary.items) +
                 (summary.tree ? QString::fromUtf16(u"、ツリーの変更") : QString());
  const bool newerOnDisk = !summary.changedOnDisk.empty();
  if (newerOnDisk) {
    text += QString::fromUtf16(u"\r\nこの復元データより新しいファイル:");
    for (size_t i = 0; i < summary.changedOnDisk.size() && i < 5; ++i)
      text += QStringLiteral("\r\n  ") + ui::ToQString(summary.changedOnDisk[i]);
    if (summary.changedOnDisk.size() > 5)
      text += QString::fromUtf16(u"\r\n  ほか %1 件").arg(summary.changedOnDisk.size() - 5);
  }
  const QStringList labels = {QString::fromUtf16(u"復元する(&R)"),
                              QString::fromUtf16(u"破棄する(&D)"),
                              QString::fromUtf16(u"後で決める(&L)")};
  // Text older than the file is never put back by default.
  const ui::MsgAnswer answer =
      Ask(text, ui::MsgIcon::Question, ui::MsgButtons::YesNoCancel,
          newerOnDisk ? ui::MsgAnswer::Cancel : ui::MsgAnswer::Yes, labels);
  if (answer == ui::MsgAnswer::Yes || answer == ui::MsgAnswer::Ok) {
    const bool overDisk =
        newerOnDisk &&
        Ask(QString::fromUtf16(u"新しいファイルも復元データの内容に戻しますか?\r\n"
                               u"「いいえ」ではファイルの内容を残し、その部分の復元データは"
                               u"別の名前で残します。"),
            ui::MsgIcon::Question, ui::MsgButtons::YesNo, ui::MsgAnswer::No) == ui::MsgAnswer::Yes;
    offered_.push_back({std::move(entry), overDisk});
    return;
  }
  if (answer != ui::MsgAnswer::No)
    return; // left for later, as it is
  if (Ask(QString::fromUtf16(u"復元データを破棄しますか?\r\n元に戻すことはできません。"),
          ui::MsgIcon::Warning, ui::MsgButtons::YesNo, ui::MsgAnswer::No) == ui::MsgAnswer::Yes)
    (void)recovery::Remove(root, entry.Path); // a failure leaves it to be offered again
}

void TRecoveryCommands::ApplyOffered() {
  std::vector<Offered> offered = std::move(offered_);
  offered_.clear();
  TProject &project = ed_.Project();
  if (offered.empty() || !project.Root())
    return;
  // Nothing of the shown item is stored over the recovered text.
  ed_.ForgetCurrentNode();
  bool tree = false;
  QString notPut;
  std::vector<std::string> consumed, partly;
  for (Offered &o : offered) {
    const recovery::Applied applied = recovery::Apply(o.entry, project, o.overDisk);
    tree = tree || applied.tree;
    QStringList left;
    for (const recovery::Applied::Refused &r : applied.refused)
      left << ui::ToQString(r.ID + " " + r.FileName) +
                  (r.why == recovery::Applied::Why::BadName
                       ? QString::fromUtf16(u" (使えないファイル名)")
                   : r.why == recovery::Applied::Why::OtherFile
                       ? QString::fromUtf16(u" (別のアイテムのファイル)")
                       : QString::fromUtf16(u" (重複)"));
    for (const std::string &id : applied.notPlaced)
      left << ui::ToQString(id) + QString::fromUtf16(u" (ツリーにないアイテム)");
    for (const std::string &name : applied.changedOnDisk)
      left << ui::ToQString(name) + QString::fromUtf16(u" (ファイルの方が新しい)");
    if (applied.treeChangedOnDisk && !applied.tree)
      left << QString::fromUtf16(u"ツリー (ファイルの方が新しい)");
    for (const QString &line : left)
      notPut += QStringLiteral("\r\n  ") + line;
    (left.isEmpty() ? consumed : partly).push_back(o.entry.Path);
  }
  if (tree)
    ed_.Tree()->ShowLoaded();
  ed_.VaveTreeChange(ed_.Tree()->Selected());
  treeDirty_ = true;
  ed_.updateActionStates();
  // This window's copy holds what was put back before the old ones go.
  WriteNow();
  if (!Flush())
    return; // the old copies stay: nothing put back is in a copy yet
  const std::string root = writer_->Root();
  for (const std::string &path : consumed)
    (void)recovery::Remove(root, path); // offered again at worst
  QString kept;
  for (const std::string &path : partly) {
    std::string aside;
    if (recovery::SetAside(root, path, aside))
      kept += QStringLiteral("\r\n  ") + ui::PathToQString(aside);
  }
  if (!notPut.isEmpty())
    Ask(QString::fromUtf16(u"復元データの一部は戻していません:") + notPut +
            (kept.isEmpty() ? QString()
                            : QString::fromUtf16(u"\r\n復元データは次の名前で残しました:") + kept),
        ui::MsgIcon::Warning, ui::MsgButtons::Ok, ui::MsgAnswer::Ok);
}

// ------------------------------------------------------------------ the end ----

void TRecoveryCommands::EndWithoutQuestions() {
  if (!ed_.Project().Root() || !ed_.Steady())
    return;
  idle_.stop();
  NoBoxes quiet;
  ed_.Tree()->CommitLabelEdit();
  TProject &project = ed_.Project();
  TProjectNode *current = ed_.CurrentNode();
  std::vector<TProjectNode *> owed;
  if (current)
    owed.push_back(current);
  for (TProjectNode *n = project.Root(); n; n = n->GetNext())
    if (n != current && !n->Data()->Missing && ed_.HasUnsavedEdits(n))
      owed.push_back(n);
  bool allStored = true;
  for (TProjectNode *n : owed) {
    // A file written elsewhere since is never replaced unasked: the edits
    // wait in the recovery copy.
    if (n->Data()->Files.CheckDisk() != fsys::DiskChange::None) {
      allStored = false;
      continue;
    }
    if (!ed_.StoreItem(n))
      allStored = false;
  }
  if (allStored && project.Modified() && ed_.Actions()[TEditorAction::AutoSaveMenu]->isChecked() &&
      project.Tree().CheckTreeFile() == fsys::DiskChange::None)
    (void)window_.SaveProject(); // what it could not write stays modified: copied below
  if (!active_)
    return; // no copy can be written here (told at the open)
  treeDirty_ = true;
  writer_->Post(Snapshot());
  (void)writer_->Flush(); // nothing more can be done about a failure now
}
