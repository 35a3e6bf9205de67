#pragma once
// Makes a window a drop target for files and folders dragged from the desktop
// and reports each drop once, with the full CP932 paths in the order the
// desktop gave them.
//
//   auto *drop = new TDragDropFile(this);   // owned by the window
//   drop->AutoStart = true;                  // accept drops once the window is shown or activated
//   drop->OnFileDrop = [this](TDragDropFile *, const TStringList &paths) { ... };
//
// Drops reach the owner when they land on it or on a child that does not take
// drops itself. A child that does (a text editor's viewport) is added with
// AddTarget; only drags carrying local files are taken from it, text drags
// stay its own.
//
// The report is delivered from the event loop right after the drop, not inside
// it, so a handler may show dialogs without holding the desktop's drag up.
// A path that CP932 cannot name is not passed on mangled: it is left out and
// the user is told through ui::ShowMessageBox.
#include "store/NodeFiles.h"
#include <QObject>

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QMimeData;

class TDragDropFile;
using TFileDrop = std::function<void(TDragDropFile *Sender, const TStringList &DropFileName)>;

class TDragDropFile : public QObject {
  Q_OBJECT
public:
  explicit TDragDropFile(QWidget *owner);
  ~TDragDropFile() override;

  // Start accepting drops on the owner's first show or activation.
  bool AutoStart = false;
  // Called once per drop; `DropFileName` lives only during the call.
  TFileDrop OnFileDrop;

  bool Started() const { return started_; }
  // Begin accepting drops; later calls do nothing.
  void Start();
  // Also take file drops that land on `child` (see above).
  void AddTarget(QWidget *child);

  // The CP932 paths of the local files in `mime`, in order. The OS paths that
  // CP932 cannot name go to `unnamable` instead.
  static TStringList DropFiles(const QMimeData *mime, QStringList *unnamable);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  // Hands one drop to OnFileDrop (nothing happens without a handler).
  virtual void DoFileDrop(const TStringList &files);

private:
  void Deliver(const TStringList &files, const QStringList &unnamable);

  QPointer<QWidget> owner_;
  std::vector<QPointer<QWidget>> targets_;
  bool started_ = false;
  bool ownerAcceptedDrops_ = false;
};
