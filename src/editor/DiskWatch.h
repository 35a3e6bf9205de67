#pragma once
// Tells the editor when files of its open project may have been written by
// someone else: a sync client, git, a second machine, a text editor.
//
//   TDiskWatch watch(editor);
//   watch.Sweep = [&](size_t budget, bool restart) { ... check items ... };
//   watch.Start(projectDirNative, treeFileNative);
//   watch.Follow(currentItemFileNative);   // the item shown now
//
// The project folder, the tree file and the shown item's file are watched by
// the OS (QFileSystemWatcher); a change there asks for a sweep of every item
// soon after (changes come in bursts). Where that watch is blind (network
// file systems, writes in place to files not watched) a slow sweep goes on
// in steps of a few thousand items, so a check of 50,000 items costs little.
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <functional>

class TDiskWatch : public QObject {
public:
  explicit TDiskWatch(QObject *parent = nullptr);

  void Start(const QString &projectDir, const QString &treeFile);
  void Stop();
  // The shown item's file, watched on its own (QFileSystemWatcher reports
  // no writes in place to the files of a watched folder).
  void Follow(const QString &itemFile);

  // Checks up to `budget` items from where the last call stopped, from the
  // first item when `restart`; the tree file each time.
  std::function<void(size_t budget, bool restart)> Sweep;

  // Items checked per step of the slow sweep, and the pause between steps.
  size_t StepItems = 2000;
  void SetStepMilliseconds(int ms) { step_.setInterval(ms); }
  // The wait after an OS notice before the sweep, gathering a burst.
  int SettleMilliseconds = 300;

  // For tests: a sweep now, as a notice would ask for.
  void SweepNow();

private:
  void Noticed();
  void Step();

  QFileSystemWatcher watcher_;
  QTimer settle_;
  QTimer step_;
  QString dir_, tree_, item_;
};
