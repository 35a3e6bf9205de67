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
#include <QTimer>

#include <memory>
#include <optional>
#include <string>

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

  // Asked at the open, before anything is written: restore (the default),
  // discard, or decide later (the entry stays, the project opens as on disk).
  void OfferAtOpen(const std::string &dir);
  // Once the project is shown: puts a restored entry into it as unsaved
  // changes.
  void ApplyOffered();

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

  TEditorContext &ed_;
  TVaveMainForm &window_;
  std::unique_ptr<recovery::TWriter> writer_;
  QTimer idle_;
  QElapsedTimer firstChange_;
  int idleMs_ = 2000, maxMs_ = 30000;
  bool active_ = false;   // the project is open and its entry is this window's
  bool treeDirty_ = true; // the tree changed since its document was made
  std::shared_ptr<const TIniFile> treeDocument_;
  std::optional<recovery::Entry> offered_; // to restore once the project is shown
};
