#include "attach/DragDropFile.h"

#include "ui/MessageBox.h"
#include "ui/Text.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

bool HasLocalFiles(const QMimeData *mime) {
  if (!mime || !mime->hasUrls())
    return false;
  for (const QUrl &u : mime->urls())
    if (u.isLocalFile())
      return true;
  return false;
}

// Files are linked or copied, never moved: a source told "moved" may delete
// the original.
bool ChooseAction(QDropEvent *e) {
  if (e->possibleActions() & Qt::LinkAction)
    e->setDropAction(Qt::LinkAction);
  else if (e->possibleActions() & Qt::CopyAction)
    e->setDropAction(Qt::CopyAction);
  else
    return false;
  e->accept();
  return true;
}

} // namespace

TDragDropFile::TDragDropFile(QWidget *owner) : QObject(owner), owner_(owner) {
  Q_ASSERT(owner);
  owner->installEventFilter(this);
}

TDragDropFile::~TDragDropFile() {
  // The owner gets back what it had when it outlives the component.
  if (owner_ && started_)
    owner_->setAcceptDrops(ownerAcceptedDrops_);
}

void TDragDropFile::Start() {
  if (started_ || !owner_)
    return;
  started_ = true;
  ownerAcceptedDrops_ = owner_->acceptDrops();
  owner_->setAcceptDrops(true);
}

void TDragDropFile::AddTarget(QWidget *child) {
  if (!child)
    return;
  targets_.emplace_back(child);
  child->installEventFilter(this);
}

TStringList TDragDropFile::DropFiles(const QMimeData *mime, QStringList *unnamable) {
  TStringList files;
  if (!mime || !mime->hasUrls())
    return files;
  for (const QUrl &u : mime->urls()) {
    if (!u.isLocalFile())
      continue;
    QString native = u.toLocalFile();
    // A folder may come with a trailing separator; it is reported like a file.
    while (native.size() > 1 && native.endsWith(QLatin1Char('/')))
      native.chop(1);
    std::string path;
    if (ui::PathFromQString(native, path))
      files.push_back(std::move(path));
    else if (unnamable)
      unnamable->push_back(native);
  }
  return files;
}

bool TDragDropFile::eventFilter(QObject *watched, QEvent *event) {
  bool ours = watched == owner_.data();
  for (const auto &t : targets_)
    ours = ours || watched == t.data();
  if (!ours)
    return false;
  switch (event->type()) {
  case QEvent::Show:
  case QEvent::WindowActivate:
    if (AutoStart && watched == owner_.data())
      Start();
    return false;
  case QEvent::DragEnter:
  case QEvent::DragMove: {
    auto *e = static_cast<QDropEvent *>(event);
    if (!started_ || !HasLocalFiles(e->mimeData()))
      return false;
    ChooseAction(e);
    return true;
  }
  case QEvent::Drop: {
    auto *e = static_cast<QDropEvent *>(event);
    if (!started_ || !HasLocalFiles(e->mimeData()))
      return false;
    if (!ChooseAction(e))
      return true;
    QStringList unnamable;
    TStringList files = DropFiles(e->mimeData(), &unnamable);
    QMetaObject::invokeMethod(
        this, [this, files, unnamable] { Deliver(files, unnamable); }, Qt::QueuedConnection);
    return true;
  }
  default:
    return false;
  }
}

void TDragDropFile::Deliver(const TStringList &files, const QStringList &unnamable) {
  if (!files.empty())
    DoFileDrop(files);
  if (!unnamable.isEmpty())
    ui::ShowMessageBox(owner_, ui::UnnamablePathExplanation(unnamable), QString(),
                       ui::MsgIcon::Warning, ui::MsgButtons::Ok);
}

void TDragDropFile::DoFileDrop(const TStringList &files) {
  if (OnFileDrop)
    OnFileDrop(this, files);
}
