#include "editor/ClipboardCommands.h"

#include "editor/ItemMemo.h"
#include "editor/VaveDataBase.h"
#include "store/Codec.h"
#include "store/Project.h"
#include "store/TreeClipboard.h"
#include "store/TreeHistory.h"
#include "ui/BusyCursor.h"
#include "ui/ErrorText.h"
#include "ui/Text.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>

namespace {

// The tree and the memo repaint once, after the last inserted item, on every
// way out.
class SuspendedUpdates {
public:
  SuspendedUpdates(QWidget *a, QWidget *b) : a_(a), b_(b) {
    a_->setUpdatesEnabled(false);
    b_->setUpdatesEnabled(false);
  }
  ~SuspendedUpdates() {
    a_->setUpdatesEnabled(true);
    b_->setUpdatesEnabled(true);
  }
  SuspendedUpdates(const SuspendedUpdates &) = delete;
  SuspendedUpdates &operator=(const SuspendedUpdates &) = delete;

private:
  QWidget *a_;
  QWidget *b_;
};

// The clipboard's text in the program's code page. Characters CP932 cannot
// hold become '?': such a text names no item file of a project.
std::string ClipboardBytes() {
  const QString text = QGuiApplication::clipboard()->text();
  std::string bytes;
  if (!ui::FromQString(text, bytes))
    bytes = cp932::FromUtf8(text.toUtf8().toStdString()).bytes;
  return bytes;
}

} // namespace

TClipboardCommands::TClipboardCommands(TEditorContext &editor) : ed_(editor) {}

void TClipboardCommands::Bind() {
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, ed_.Window(),
                   [this] { ClipboardChanged(); });
  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  a.Bind(
      A::CopyItemAction, [this] { CopyItemAction(); },
      [this] { return ed_.Tree()->Selected() != nullptr; });
  a.Bind(
      A::PastItemAction, [this] { PastItemAction(); },
      [this] { return ed_.Project().Root() && !ed_.ProjectLocked() && ClipboardHasTree(); });
}

void TClipboardCommands::ClipboardChanged() {
  known_ = false;
  ed_.updateActionStates();
}

bool TClipboardCommands::ClipboardHasTree() const {
  if (!known_) {
    const QString text = QGuiApplication::clipboard()->text();
    hasText_ = !text.isEmpty();
    hasTree_ = text.startsWith(ui::ToQString(treeclip::kTreeMarker));
    known_ = true;
  }
  return hasTree_;
}

bool TClipboardCommands::ClipboardHasText() const {
  ClipboardHasTree();
  return hasText_;
}

void TClipboardCommands::CopyItemAction() {
  TProjectNode *selected = ed_.Tree()->Selected();
  // Its file must hold the text being edited; the others are up to date.
  (void)ed_.StoreItem(ed_.CurrentNode()); // unwritten: the copy has the file's text
  QGuiApplication::clipboard()->setText(ui::ToQString(treeclip::CopyText(ed_.Project(), selected)));
  known_ = false;
}

void TClipboardCommands::PastItemAction() {
  TProject &project = ed_.Project();
  const treeclip::TClip clip = treeclip::Parse(ClipboardBytes());
  if (!clip.isTree)
    return;
  ui::BusyCursor busy;
  SuspendedUpdates suspended(ed_.Tree(), ed_.Memo());
  // The item left must be on disk before items are placed after it.
  if (!ed_.StoreOrTell(ed_.CurrentNode()))
    return;
  TProjectNode *selected = ed_.Tree()->Selected();
  TTreeHistory::Step step(project.History(), TTreeStep::Insert, {});
  treeclip::TInsertOptions options;
  options.author = ed_.Author();
  options.overwrite = [this](const std::string &name) {
    return ed_.ShowMessageBox(QStringLiteral(u"添付ファイル ") + ui::ToQString(name) +
                                  QStringLiteral(u" は既に存在します\r\n上書きしますか?"),
                              ui::MsgIcon::Warning, ui::MsgButtons::YesNo,
                              ui::MsgAnswer::No) == ui::MsgAnswer::Yes;
  };
  const treeclip::TInsertReport report = treeclip::Insert(project, clip, selected, options);
  if (report.sourceMissing)
    ed_.ShowMessageBox(
        QStringLiteral(u"コピー元のアイテムファイルが見つかりません\r\n挿入を中止します"),
        ui::MsgIcon::Error, ui::MsgButtons::Ok);
  if (!report.failure.ok())
    ed_.ShowMessageBox(QStringLiteral(u"新しいアイテムが作成できませんでした") +
                           ui::FileErrorText(report.failure),
                       ui::MsgIcon::Error, ui::MsgButtons::Ok);
  if (!report.copyFailures.empty()) {
    QString text = QStringLiteral(u"添付ファイルをコピーできませんでした");
    for (const fsys::Status &failure : report.copyFailures)
      text += ui::FileErrorText(failure);
    ed_.ShowMessageBox(text, ui::MsgIcon::Error, ui::MsgButtons::Ok);
  }
  if (report.first)
    project.History().SetLabel(report.first->Text());
  // Nothing inserted (the marker alone, or the first source gone): the
  // selected item is collapsed and shown again all the same.
  if (TProjectNode *first = report.first ? report.first : selected) {
    for (TProjectNode *n = first; n; n = n->GetNextWithin(first))
      project.Tree().SetExpanded(n, false);
    ed_.Tree()->SelectNode(first); // shows it, as any selection does
  }
}
