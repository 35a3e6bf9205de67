#pragma once
// The editor's recovery copy: a few seconds after the last change (and at
// least every half minute while the changes go on) what the project's files
// do not hold yet is written to the per-user recovery folder, on a thread of
// its own so that typing never waits for the disk. Opening a project that
// has such an entry offers it back; the end of the program without a chance
// to ask (a signal, the desktop's session ending) stores what it may and
// keeps the rest there.
#include "editor/EditorContext.h"
#include "store/Recovery.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class QLineEdit;
class TIniFile;
class TVaveMainForm;

class TRecoveryCommands : public QObject {
  Q_OBJECT
public:
  TRecoveryCommands(TEditorContext &editor, TVaveMainForm &window);
  ~TRecoveryCommands() override;
  // Watches the tree and the memo for changes.
  void Bind();

  // Where the entries go ($XDG_STATE_HOME/kem/Orvane/recovery/).
  static std::string Root();
  // The pace of the copy: after `idleMs` without a change, at most `maxMs`
  // after the first change not yet copied.
  void SetPace(int idleMs, int maxMs);

  // Asked at the open, before anything is written, for each copy the
  // project has (an earlier run's, or several left for later): restore (the
  // default, unless the files are newer), discard (asked once more), or
  // decide later (the copy stays as it is). The window keeps a copy of its
  // own in every case; a damaged copy is set aside and told.
  void OfferAtOpen(const std::string &dir);
  // Once the project is shown: puts the restored copies into it as unsaved
  // changes; what could not be put back stays in a copy set aside.
  void ApplyOffered();
  // This window's own copy file.
  const std::string &OwnCopy() const { return own_; }

  // What is not in the project's files, as the entry would hold it.
  recovery::Entry Snapshot();
  // Writes the copy now (on the writer's thread); Flush waits for it.
  void WriteNow();
  fsys::Status Flush();

  // The program ends and no question may be asked: an open label edit is
  // committed, every item whose file is as it was read is stored, the tree
  // is saved when auto-save is on and its file is unchanged; the rest goes
  // into the recovery copy, written before this returns. No box opens.
  void EndWithoutQuestions();

private:
  void Changed(bool tree);
  void Obsolete(); // a save or a close: what the entry held is on disk or given up
  // Other copies of the project lose the items this window has saved since
  // it opened: their texts are older than the files.
  void DropSavedFromOtherCopies();
  void Offer(recovery::Copy &copy, size_t index, size_t count);
  void TellUnprotected(const fsys::Status &why);
  ui::MsgAnswer Ask(const QString &text, ui::MsgIcon icon, ui::MsgButtons buttons,
                    ui::MsgAnswer byDefault, QStringList labels = {});

  TEditorContext &ed_;
  TVaveMainForm &window_;
  std::unique_ptr<recovery::TWriter> writer_;
  QTimer idle_;
  QElapsedTimer firstChange_;
  int idleMs_ = 2000, maxMs_ = 30000;
  bool active_ = false;                     // the project is open and this window keeps its copy
  std::string own_;                         // this window's copy file
  QPointer<QLineEdit> watchedLabel_;        // the label editor whose typing is copied
  std::string dir_;                         // the project directory being opened
  std::string identity_;                    // who the project is (recovery::IdentityOf)
  std::unordered_set<std::string> written_; // files this window wrote edits into
  bool treeDirty_ = true;                   // the tree changed since its document was made
  std::shared_ptr<const TIniFile> treeDocument_;
  struct Offered {
    recovery::Entry entry;
    bool overDisk = false; // the user chose the copy over newer files
  };
  std::vector<Offered> offered_; // to restore once the project is shown
};
