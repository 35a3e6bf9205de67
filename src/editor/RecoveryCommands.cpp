#include "editor/RecoveryCommands.h"

#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "editor/VaveMain.h"
#include "engine/MemoJump.h"
#include "store/DateTime.h"
#include "store/IniFile.h"
#include "store/Project.h"
#include "ui/Text.h"

#include <QAction>

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
    : ed_(editor), window_(window), writer_(std::make_unique<recovery::TWriter>(Root())) {
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
  // Leaving an item stores it: what the entry held of it is then obsolete.
  connect(ed_.Tree(), &TVaveDataBase::currentNodeChanged, this, [this] { Changed(false); });
  connect(&window_, &TVaveMainForm::projectSaved, this, [this] { Obsolete(); });
  connect(&window_, &TVaveMainForm::editorClosing, this, [this] {
    // The close stored the items and saved the tree or was told not to.
    idle_.stop();
    if (active_) {
      recovery::Entry gone; // an empty entry: the file goes
      gone.Dir = ed_.Project().Dir();
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
}

recovery::Entry TRecoveryCommands::Snapshot() {
  recovery::Entry e;
  TProject &project = ed_.Project();
  e.Dir = project.Dir();
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
  for (TProjectNode *n = project.Root(); n; n = n->GetNext()) {
    // A missing item's file is never written: it holds no edits.
    if (n->Data()->Missing || !ed_.HasUnsavedEdits(n))
      continue;
    TNodeFiles copy;
    copy.Assign(n->Data()->Files);
    copy.Title = n->Text();
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

void TRecoveryCommands::OfferAtOpen(const std::string &dir) {
  active_ = false;
  offered_.reset();
  recovery::Entry entry;
  const std::string root = writer_->Root();
  if (fsys::Status s = recovery::Read(root, dir, entry); !s || !entry.found) {
    // An unreadable entry is kept as it is for whoever can read it: this
    // window's copies must not replace it.
    active_ = s.ok();
    return;
  }
  ui::MessageBoxRequest r;
  r.parent = ed_.Window();
  r.text = QString::fromUtf16(u"前回、保存されていない変更が残っています。\r\n") +
           ui::PathToQString(dir) + QStringLiteral("\r\n(") + ui::ToQString(entry.Made) +
           QStringLiteral(")");
  r.caption = QStringLiteral("Orvane");
  r.icon = ui::MsgIcon::Question;
  r.buttons = ui::MsgButtons::YesNoCancel;
  r.defaultButton = ui::MsgAnswer::Yes;
  r.labels = {QString::fromUtf16(u"復元する(&R)"), QString::fromUtf16(u"破棄する(&D)"),
              QString::fromUtf16(u"後で決める(&L)")};
  switch (ui::ShowMessageBox(r)) {
  case ui::MsgAnswer::Yes:
  case ui::MsgAnswer::Ok:
    offered_ = std::move(entry);
    active_ = true;
    break;
  case ui::MsgAnswer::No:
    // A failed removal leaves the entry to be offered again: nothing is lost.
    active_ = recovery::Remove(root, dir).ok();
    break;
  case ui::MsgAnswer::Cancel:
    break; // the entry stays as it is; this window writes none over it
  }
}

void TRecoveryCommands::ApplyOffered() {
  if (!offered_)
    return;
  recovery::Entry entry = std::move(*offered_);
  offered_.reset();
  TProject &project = ed_.Project();
  if (!project.Root())
    return;
  // Nothing of the shown item is stored over the recovered text.
  ed_.ForgetCurrentNode();
  const recovery::Applied applied = recovery::Apply(entry, project);
  if (applied.tree)
    ed_.Tree()->ShowLoaded();
  ed_.VaveTreeChange(ed_.Tree()->Selected());
  treeDirty_ = true;
  ed_.updateActionStates();
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
    return; // the entry the user left for later is not replaced
  treeDirty_ = true;
  writer_->Post(Snapshot());
  (void)writer_->Flush(); // nothing more can be done about a failure now
}
