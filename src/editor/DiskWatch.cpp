#include "editor/DiskWatch.h"

#include <QFileInfo>

#include <limits>

TDiskWatch::TDiskWatch(QObject *parent) : QObject(parent) {
  settle_.setSingleShot(true);
  step_.setInterval(1000);
  connect(&settle_, &QTimer::timeout, this, [this] { SweepNow(); });
  connect(&step_, &QTimer::timeout, this, [this] { Step(); });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Noticed(); });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) {
    // A file replaced by a rename drops out of the watch: watched again.
    if (!watcher_.files().contains(path) && QFileInfo::exists(path))
      watcher_.addPath(path);
    Noticed();
  });
}

void TDiskWatch::Start(const QString &projectDir, const QString &treeFile) {
  Stop();
  dir_ = projectDir;
  tree_ = treeFile;
  for (const QString &path : {dir_, tree_})
    if (!path.isEmpty() && QFileInfo::exists(path))
      watcher_.addPath(path);
  step_.start();
}

void TDiskWatch::Stop() {
  settle_.stop();
  step_.stop();
  if (!watcher_.files().isEmpty())
    watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty())
    watcher_.removePaths(watcher_.directories());
  dir_.clear();
  tree_.clear();
  item_.clear();
}

void TDiskWatch::Follow(const QString &itemFile) {
  if (itemFile == item_)
    return;
  if (!item_.isEmpty() && item_ != tree_)
    watcher_.removePath(item_);
  item_ = itemFile;
  if (!item_.isEmpty() && QFileInfo::exists(item_))
    watcher_.addPath(item_);
}

void TDiskWatch::Noticed() {
  // The tree file may have come back after a delete: watched again.
  if (!tree_.isEmpty() && !watcher_.files().contains(tree_) && QFileInfo::exists(tree_))
    watcher_.addPath(tree_);
  if (!item_.isEmpty() && !watcher_.files().contains(item_) && QFileInfo::exists(item_))
    watcher_.addPath(item_);
  settle_.start(SettleMilliseconds);
}

void TDiskWatch::SweepNow() {
  if (Sweep)
    Sweep(std::numeric_limits<size_t>::max(), true);
}

void TDiskWatch::Step() {
  if (Sweep)
    Sweep(StepItems, false);
}
