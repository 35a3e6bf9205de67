#include "editor/AttachmentCommands.h"

#include "attach/AttachmentForm.h"
#include "attach/FileListView.h"
#include "editor/VaveDataBase.h"
#include "store/LibUnit.h"
#include "store/Project.h"

#include <QMainWindow>

TAttachmentCommands::TAttachmentCommands(TEditorContext &editor) : ed_(editor) {}

TAttachmentCommands::~TAttachmentCommands() {
  if (form_) {
    form_->DetachList();
    delete form_;
  }
}

TAttachmentForm *TAttachmentCommands::Window() const { return form_.data(); }

void TAttachmentCommands::Bind() {
  // A tool window of this editor: above it, minimised and gone with it.
  form_ = new TAttachmentForm(ed_.Window());
  form_->setWindowFlags(Qt::Tool);
  form_->setObjectName(QStringLiteral("AttachmentWindow"));
  // Asked once per file the user acts on: a scan, not a set built each time.
  form_->IsProjectFile = [this](const std::string &name) {
    for (TProjectNode *n = ed_.Project().Tree().GetFirstNode(); n; n = n->GetNext()) {
      const TNodeData &d = *n->Data();
      if ((d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath)) == name)
        return true;
    }
    return false;
  };
  QObject::connect(form_.data(), &TAttachmentForm::attachmentsChanged, ed_.Window(), [this] {
    ed_.SetMemoModified(true);
    ed_.updateActionStates();
  });
  // An item about to go away (deleted, or the whole tree replaced) must not
  // stay in the window.
  TVaveTreeModel *model = ed_.Tree()->Model();
  QObject::connect(
      model, &QAbstractItemModel::rowsAboutToBeRemoved, ed_.Window(),
      [this](const QModelIndex &parent, int first, int last) { DetachRows(parent, first, last); });
  QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, ed_.Window(), [this] {
    if (form_)
      form_->DetachList();
  });

  using A = TEditorAction;
  TEditorActions &a = ed_.Actions();
  for (A id : {A::ShowAttachFileAction, A::ViewLinkAction})
    a.Bind(id, [this] { Show(); });
  a.Bind(
      A::ViewAttachFileAction, [this] { Show(); },
      [this] {
        return ed_.CurrentNode() && !ed_.CurrentNode()->Data()->Files.AttachFiles.empty();
      });
}

void TAttachmentCommands::Show() {
  if (!form_)
    return;
  form_->SetProjectDir(ed_.Project().Dir());
  if (TProjectNode *current = ed_.CurrentNode())
    form_->ShowAttachments(&current->Data()->Files.AttachFiles);
  form_->show();
  form_->raise();
  // Asked for, it takes the keys: Ctrl+C there copies a file in, it does not
  // copy the item's text behind it.
  form_->activateWindow();
  form_->FileList()->setFocus(Qt::ShortcutFocusReason);
}

void TAttachmentCommands::DetachRows(const QModelIndex &parent, int first, int last) {
  TVaveTreeModel *model = ed_.Tree()->Model();
  for (int row = first; row <= last && form_; ++row) {
    TProjectNode *top = TVaveTreeModel::NodeOf(model->index(row, 0, parent));
    for (TProjectNode *n = top; n; n = n->GetNextWithin(top))
      if (form_->Attachments() == &n->Data()->Files.AttachFiles)
        form_->DetachList();
  }
}

void TAttachmentCommands::WriteBack(TNodeFiles &files) {
  if (form_ && form_->Attachments() == &files.AttachFiles)
    form_->WriteBack();
}

void TAttachmentCommands::Follow(TProjectNode *node) {
  if (!form_)
    return;
  if (form_->IsShown()) {
    form_->ClearRows();
    form_->ShowAttachments(&node->Data()->Files.AttachFiles);
  } else {
    form_->DetachList(); // it shows the item's list again when asked
  }
}

void TAttachmentCommands::ApplyWindowSettings(const TWindowData &w) {
  if (!form_)
    return;
  form_->SetProjectDir(ed_.Project().Dir());
  form_->ApplyWindowSettings(w.AttachTop, w.AttachLeft, w.AttachWidth, w.AttachHeight,
                             w.AttachSortType);
}

void TAttachmentCommands::CollectWindowSettings(TWindowData &w) {
  if (form_)
    form_->CollectWindowSettings(w.AttachTop, w.AttachLeft, w.AttachWidth, w.AttachHeight,
                                 w.AttachSortType);
}

void TAttachmentCommands::Close() {
  if (!form_)
    return;
  form_->DetachList();
  form_->deleteLater();
  form_ = nullptr;
}
