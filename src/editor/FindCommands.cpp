#include "editor/FindCommands.h"

#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "engine/MemoJump.h"
#include "search/ProjectSearch.h"
#include "store/Codec.h"
#include "store/Project.h"
#include "ui/Text.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

// ------------------------------------------------------------ the dialog ----

TFindDialog::TFindDialog(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindDialog"));
  setWindowTitle(QStringLiteral(u"検索"));
  setModal(false);
  auto *column = new QVBoxLayout(this);
  auto *row = new QHBoxLayout;
  auto *label = new QLabel(QStringLiteral(u"検索する文字列(&N):"), this);
  key_ = new QLineEdit(this);
  key_->setObjectName(QStringLiteral("FindText"));
  label->setBuddy(key_);
  row->addWidget(label);
  row->addWidget(key_, 1);
  column->addLayout(row);
  auto *direction = new QGroupBox(QStringLiteral(u"方向"), this);
  auto *choice = new QHBoxLayout(direction);
  auto *up = new QRadioButton(QStringLiteral(u"上へ(&U)"), direction);
  up->setObjectName(QStringLiteral("UpButton"));
  down_ = new QRadioButton(QStringLiteral(u"下へ(&D)"), direction);
  down_->setObjectName(QStringLiteral("DownButton"));
  down_->setChecked(true);
  choice->addWidget(up);
  choice->addWidget(down_);
  column->addWidget(direction);
  auto *buttons = new QDialogButtonBox(this);
  QPushButton *next =
      buttons->addButton(QStringLiteral(u"次を検索(&F)"), QDialogButtonBox::AcceptRole);
  next->setObjectName(QStringLiteral("FindButton"));
  next->setDefault(true);
  buttons->addButton(QStringLiteral(u"キャンセル"), QDialogButtonBox::RejectRole);
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { emit find(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

QString TFindDialog::FindText() const { return key_->text(); }
void TFindDialog::SetFindText(const QString &text) { key_->setText(text); }
bool TFindDialog::Down() const { return down_->isChecked(); }

// ----------------------------------------------------------- the commands ----

TFindCommands::TFindCommands(TEditorContext &editor) : ed_(editor) {}

void TFindCommands::Bind() {
  dialog_ = new TFindDialog(ed_.Window());
  QObject::connect(dialog_, &TFindDialog::find, ed_.Window(),
                   [this] { FindStep(TSender::Dialog); });
  QObject::connect(dialog_->KeyBox(), &QLineEdit::textChanged, ed_.Window(),
                   [this] { ed_.updateActionStates(); });

  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  const auto open = [this] { return ed_.Project().Root() != nullptr; };
  const auto hasKey = [this, open] { return open() && !dialog_->FindText().isEmpty(); };
  const auto step = [this](int tag) { FindStep(TSender::Action, tag); };
  const auto search = [this](int tag) { StartSearch(tag); };
  const auto tagJump = [this](int tag) { TagJump(tag); };
  a.BindTagged(A::FindNextAction, step, hasKey);
  a.BindTagged(A::FindPriorAction, step, hasKey);
  a.BindTagged(A::SearchCurrentAction, search, open);
  a.BindTagged(A::SearchProjectAction, search, open);
  a.BindTagged(A::TagJumpCurrentAction, tagJump, open);
  a.BindTagged(A::TagJumpProjectAction, tagJump, open);
  // The tag header and the link form are kept as commands that do nothing;
  // the tag footer has none at all.
  a.Bind(A::SetTagHeaderAction, [] {});
  a.Bind(A::ShowLinkFormAction, [] {});
}

void TFindCommands::RememberStart() {
  startNode_ = ed_.Tree()->Selected();
  startPos_ = ed_.MemoJump().GetSelStart();
  startLen_ = 0;
}

TProjectNode *TFindCommands::StartNode() const {
  for (TProjectNode *n = ed_.Project().Tree().GetFirstNode(); n; n = n->GetNext())
    if (n == startNode_)
      return n;
  return nullptr;
}

void TFindCommands::StartSearch(int tag) {
  RememberStart();
  mode_ = tag;
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
  dialog_->KeyBox()->setFocus();
  dialog_->KeyBox()->selectAll();
}

void TFindCommands::TagJump(int tag) {
  RememberStart();
  mode_ = tag;
  forward_ = true;
  TMemoJump &jump = ed_.MemoJump();
  std::string key;
  if (jump.GetSelLength() > 0) {
    // The selection as the memo's engine counts it (line breaks as CR LF).
    const std::string text = jump.ObjectifyMemo()->Text();
    key = text.substr(static_cast<size_t>(jump.GetSelStart()),
                      static_cast<size_t>(jump.GetSelLength()));
  } else {
    key = jump.GetKeyWord();
  }
  dialog_->SetFindText(ui::ToQString(key));
  FindStep(TSender::Action, tag);
}

void TFindCommands::NotFound(const QString &key) {
  ed_.ShowMessageBox(QStringLiteral(u"文字列\"") + key +
                         QStringLiteral(u"\"は見つかりませんでした"),
                     ui::MsgIcon::Error, ui::MsgButtons::Ok);
}

namespace {

// Tree and memo repaint once, when the search is over.
class Repaint {
public:
  Repaint(QWidget *a, QWidget *b, bool suspend) : a_(a), b_(b), suspend_(suspend) {
    if (suspend_) {
      a_->setUpdatesEnabled(false);
      b_->setUpdatesEnabled(false);
    }
  }
  ~Repaint() {
    if (suspend_) {
      a_->setUpdatesEnabled(true);
      b_->setUpdatesEnabled(true);
    }
  }
  Repaint(const Repaint &) = delete;
  Repaint &operator=(const Repaint &) = delete;

private:
  QWidget *a_, *b_;
  bool suspend_;
};

} // namespace

void TFindCommands::FindStep(TSender sender, int actionTag) {
  dialog_->hide();
  // The dialog is no command: a label still being edited is committed here.
  ed_.Tree()->CommitLabelEdit();
  // The caret panel shows where the search left the caret, on every way out.
  struct CaretPanel {
    TEditorContext &ed;
    ~CaretPanel() { ed.UpdateCaretPanel(); }
  } panel{ed_};
  using A = TEditorAction;
  if (sender == TSender::Action)
    forward_ = actionTag != EditorTag(A::FindPriorAction);
  else if (sender == TSender::Dialog)
    forward_ = dialog_->Down();
  std::string key;
  if (!ui::FromQString(dialog_->FindText(), key)) {
    NotFound(dialog_->FindText()); // as typed: never a '?' for what CP932 lacks
    return;                        // CP932 cannot hold it: no item holds it either
  }
  const bool projectWide =
      mode_ == EditorTag(A::SearchProjectAction) || mode_ == EditorTag(A::TagJumpProjectAction);
  Repaint repaint(ed_.Tree(), ed_.Memo(), projectWide);
  TMemoJump &jump = ed_.MemoJump();
  TJumpMemo *memo = jump.ObjectifyMemo();
  if (jump.SearchText(key, forward_)) {
    if (projectWide) {
      startNode_ = ed_.Tree()->Selected();
      startPos_ = jump.GetSelStart();
      startLen_ = jump.GetSelLength();
      // A little past the hit, then the hit itself: the view shows what follows.
      memo->SetSelection(startPos_, startPos_ + startLen_ + 3);
      memo->SetSelection(startPos_, startPos_ + startLen_);
    }
    return;
  }
  if (!projectWide) {
    if (mode_ == EditorTag(A::TagJumpCurrentAction)) { // once more from the top, as a search
      jump.SetCaret(0);
      mode_ = EditorTag(A::SearchCurrentAction);
      FindStep(TSender::None);
      return;
    }
    NotFound(ui::ToQString(key));
    jump.SetCaret(startPos_);
    return;
  }
  // The rest of the project: the item left is stored first when it changed,
  // so that the texts searched are the ones the user sees.
  TProjectNode *current = ed_.CurrentNode();
  if (current && ed_.MemoModified() && !ed_.StoreOrTell(current))
    return;
  const TProjectNode *from = ed_.Tree()->Selected();
  const search::THit hit = search::FindInTree(ed_.Project().Tree(), from, key, forward_,
                                              mode_ == EditorTag(A::TagJumpProjectAction));
  if (hit.node) {
    auto *node = const_cast<TProjectNode *>(hit.node);
    if (node != ed_.Tree()->Selected() && !ed_.Tree()->SelectNode(node))
      return; // the selection could not move
    const int pos = static_cast<int>(hit.position);
    const int len = static_cast<int>(key.size());
    jump.SetCaret(pos);
    jump.SearchText(key, true); // selects it, its line in the middle
    startNode_ = node;
    startPos_ = pos;
    startLen_ = len;
    memo->SetSelection(pos, pos + len + 3);
    memo->SetSelection(pos, pos + len);
    return;
  }
  // Nowhere (a project search ends at the last item; a project tag jump has
  // been round once): the start item again, with its selection.
  if (TProjectNode *start = StartNode(); start && start != ed_.Tree()->Selected())
    ed_.Tree()->SelectNode(start);
  memo->SetSelection(startPos_, startPos_ + startLen_);
  NotFound(ui::ToQString(key));
}
