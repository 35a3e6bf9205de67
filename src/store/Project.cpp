#include "store/Project.h"

#include "store/Codec.h"
#include "store/Leftovers.h"
#include "store/LibUnit.h"
#include "store/TreeHistory.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>

namespace {

std::string Cp932(const char *utf8) { return cp932::FromUtf8(utf8).bytes; }

} // namespace

bool TProject::IsTreeFileName(std::string_view bareName) {
  const std::string lower = cp932::LowerAscii(bareName);
  return lower == "maintree.dat" || lower == "maintree.dat.ord";
}

bool TProject::IsReservedItemFileName(std::string_view bareName) {
  if (IsTreeFileName(bareName) || fsys::IsNewTreeName(bareName) || fsys::IsWorkFileName(bareName))
    return true;
  return std::any_of(bareName.begin(), bareName.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F;
  });
}

std::string TProject::TreeFilePath(std::string_view dir) {
  return AddPathSeparator(std::string(dir)) + kTreeFileName;
}

bool TProject::IsProjectDirectory(std::string_view dir) {
  return !dir.empty() && fsys::FileExists(TreeFilePath(dir));
}

TProject::TProject() : history_(std::make_unique<TTreeHistory>(*this)) { tree_.SetObserver(this); }

TProject::~TProject() {
  history_.reset();
  tree_.SetObserver(nullptr);
}

std::string TProject::Title() const { return Root() ? Root()->Text() : std::string(); }

bool TProject::Locked() const { return Root() && Root()->Data()->Files.Completion; }

// ------------------------------------------------------------------ load ----

TLoadReport TProject::Load(std::string_view dir) {
  TLoadReport report;
  retiring_.clear();
  report.RootLoaded = tree_.LoadProject(dir);
  dir_ = tree_.ProjectDir();
  report.HeaderWarnings = tree_.LoadWarnings();
  report.Skipped = tree_.SkippedItems();
  report.Unreached = tree_.UnreachedItems();
  if (tree_.LoadedMissingCount() > 0) // no walk of a big tree for nothing
    report.Missing = tree_.MissingItems();
  modified_ = false;
  return report;
}

fsys::Status TProject::Save(TProjectTree::TreeOverwrite overwrite) {
  if (fsys::Status s = tree_.SaveProject(overwrite); !s)
    return s;
  modified_ = false;
  RetireDeletedFiles();
  return {};
}

fsys::Status TProject::CreateFirstTree(std::string_view dir, const std::string &title,
                                       const std::string &author) {
  Load(dir); // an empty directory: no tree, but the directory is known
  dir_ = AddPathSeparator(std::string(dir));
  tree_.ClearTree();
  tree_.WindowData.LastIndex = 0;
  fsys::Status status;
  auto write = [&](TNodeFiles &f) {
    f.Update = clock_::Now();
    f.Author = author;
    if (fsys::Status s = f.Save(); !s && status)
      status = s;
  };
  auto rootData = std::make_unique<TNodeData>();
  rootData->ID = "Root";
  rootData->Files.FilePath = dir_ + NewItemFileName();
  rootData->Files.FirstEdition = clock_::Now();
  rootData->Files.Title = title;
  write(rootData->Files);
  TProjectNode *root = tree_.AddChild(nullptr, title, std::move(rootData));
  const std::string firstLabel = Cp932("新しいアイテム");
  TProjectNode *first = tree_.AddChild(root, firstLabel);
  InitItem(*first->Data());
  first->Data()->Files.Title = firstLabel;
  write(first->Data()->Files);
  tree_.SetExpanded(root, true);
  tree_.SetSelected(root);
  if (fsys::Status s = tree_.SaveTreeFile(TreeFilePath()); !s && status)
    status = s;
  modified_ = true; // a new project counts as changed until it is saved
  return status;
}

// ------------------------------------------------------------ item rules ----

std::string TProject::NewItemFileName() const {
  const std::string stamp = clock_::Now().ToFileStamp();
  unsigned n = stamp == lastStamp_ ? lastCounter_ + 1 : 0;
  for (;; ++n) {
    std::string candidate = stamp + std::to_string(n) + ".txt";
    if (!fsys::Exists(dir_ + candidate)) {
      lastStamp_ = stamp;
      lastCounter_ = n;
      return candidate;
    }
  }
}

void TProject::InitNextItem(TNodeData &data) { InitItem(data, tree_.ContinueItemID()); }

void TProject::InitItem(TNodeData &data) { InitItem(data, NextItemID()); }

void TProject::InitItem(TNodeData &data, std::string id) {
  data.ID = std::move(id);
  data.Missing = false;
  data.Unsaved = false;
  data.ListedFileName.clear();
  data.Files = TNodeFiles();
  data.Files.FilePath = dir_ + NewItemFileName();
  data.Files.FirstEdition = clock_::Now();
  data.Files.ToDo = false;
  data.Files.Completion = false;
}

bool TProject::RetireItemFile(TProjectNode *node) {
  if (!node || node->Data()->Missing) // no file of its own was ever read
    return false;
  const std::string &path = node->Data()->Files.FilePath;
  // Never replace an older retired file of the same name.
  if (!fsys::FileExists(path) || fsys::Exists(path + ".exp"))
    return false;
  retiring_.push_back(path);
  return true;
}

fsys::Status TProject::RestoreItemFile(TProjectNode *node) {
  if (!node || node->Data()->Missing)
    return {};
  TNodeFiles &f = node->Data()->Files;
  if (auto it = std::find(retiring_.begin(), retiring_.end(), f.FilePath); it != retiring_.end()) {
    retiring_.erase(it); // never renamed: the save had not come yet
    return {};
  }
  const std::string retired = f.FilePath + ".exp";
  uint64_t device = 0, inode = 0;
  auto ours = [&](const std::string &path) {
    return fsys::Identity(path, device, inode) && f.Disk.known && inode == f.Disk.inode &&
           device == f.Disk.device;
  };
  if (!ours(retired)) {
    if (!f.Disk.known || !f.Disk.exists || ours(f.FilePath))
      return {}; // nothing of this item's was retired
    // Its retired file is gone (removed by hand): the text lives only here
    // now, and the next store writes it, under a new name if that one is taken.
    if (fsys::Exists(f.FilePath))
      f.FilePath = dir_ + NewItemFileName();
    f.Disk = fsys::AbsentStamp();
    node->Data()->Unsaved = true;
    return {};
  }
  std::string to = f.FilePath;
  if (fsys::Status s = LinkBack(retired, to); !s)
    return s;
  f.FilePath = to;
  (void)fsys::Restamp(to, f.Disk); // a file changed meanwhile stays changed: asked at the store
  return {};
}

fsys::Status TProject::LinkBack(const std::string &from, std::string &to) {
  // A link never replaces a file that is there: a name taken meanwhile,
  // even at the last moment, makes a new name be tried.
  for (;;) {
    fsys::Status s = fsys::HardLink(from, to);
    if (s) {
      (void)fsys::DeleteFile(from); // a second name left beside is only a stray
      return {};
    }
    if (s.code != EEXIST) {
      // A file system without links: the rename, once the name is free.
      if (fsys::Exists(to))
        return s;
      return fsys::RenameFile(from, to);
    }
    to = dir_ + NewItemFileName(); // never an existing name
  }
}

void TProject::RetireDeletedFiles() {
  for (const std::string &path : retiring_) {
    const std::string retired = path + ".exp";
    if (!fsys::Exists(retired))
      (void)fsys::RenameFile(path, retired); // a file that stays is only a stray
  }
  retiring_.clear();
}

std::set<std::string> TProject::CollectItemFiles() const {
  std::set<std::string> names = {kTreeFileName, std::string(kTreeFileName) + ".ord"};
  for (TProjectNode *n = tree_.GetFirstNode(); n; n = n->GetNext()) {
    const TNodeData &d = *n->Data();
    names.insert(d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath));
  }
  for (const TSkippedItem &s : tree_.SkippedItems())
    if (!s.FileName.empty())
      names.insert(s.FileName);
  for (const TSkippedItem &s : tree_.UnreachedItems())
    if (!s.FileName.empty())
      names.insert(s.FileName);
  return names;
}

void TProject::CollectItemFiles(TStringList &items, TStringList &attachments, int level,
                                const TProjectNode *node, bool expand) const {
  if (!node)
    return;
  // Iterative: a deep tree must not run out of stack.
  const int base = node->Level();
  for (const TProjectNode *n = node; n; n = n->GetNextWithin(node)) {
    const TNodeData &d = *n->Data();
    const std::string path = d.Missing ? dir_ + d.ListedFileName : d.Files.FilePath;
    items.push_back(level < 0 ? path : std::string(level + n->Level() - base, '-') + path);
    for (const std::string &entry : d.Files.AttachFiles)
      attachments.push_back(expand && ExtractFilePath(entry).empty() ? dir_ + entry : entry);
  }
}

TProjectNode *TProject::CopySubtree(const TProjectNode *source, TProjectNode *parent,
                                    fsys::Status &status) {
  status = {};
  if (!source || source->Data()->Missing)
    return nullptr;
  // The source is listed before the tree grows: it may be an ancestor of
  // `parent`, and the copies must not join the walk.
  std::vector<const TProjectNode *> sources;
  for (const TProjectNode *n = source; n; n = n->GetNextWithin(source))
    sources.push_back(n);
  std::unordered_map<const TProjectNode *, TProjectNode *> made; // source -> copy
  TProjectNode *top = nullptr;
  for (const TProjectNode *from : sources) {
    TProjectNode *into = parent;
    if (from != source) {
      auto it = made.find(from->Parent());
      if (it == made.end())
        continue; // below an item left out
      into = it->second;
    }
    if (from->Data()->Missing)
      continue;
    auto data = std::make_unique<TNodeData>();
    InitItem(*data);
    const std::string path = data->Files.FilePath;
    const std::string id = data->ID;
    data->Files.Assign(from->Data()->Files);
    data->Files.FilePath = path;
    // An item whose file could not be written stays out with its subtree:
    // a tree that named it would lose it at the next load.
    if (fsys::Status s = data->Files.Save(); !s) {
      if (status)
        status = s;
      continue;
    }
    TProjectNode *copy = tree_.AddChild(into, from->Text(), std::move(data));
    made.emplace(from, copy);
    if (!top)
      top = copy;
  }
  // Each copy opens as its original does; the place it went keeps its own state.
  for (auto &[from, copy] : made)
    tree_.SetExpanded(copy, from->Expanded());
  return top;
}

// --------------------------------------------------- the tree's reports ----

void TProject::AboutToInsert(TProjectNode *parent, int row) {
  if (observer_)
    observer_->AboutToInsert(parent, row);
}

void TProject::Inserted(TProjectNode *node) {
  modified_ = true;
  if (observer_)
    observer_->Inserted(node);
}

void TProject::AboutToMove(TProjectNode *node, TProjectNode *newParent, int destRow) {
  if (observer_)
    observer_->AboutToMove(node, newParent, destRow);
}

void TProject::Moved(TProjectNode *node, TProjectNode *oldParent, int oldRow) {
  modified_ = true;
  if (observer_)
    observer_->Moved(node, oldParent, oldRow);
}

void TProject::AboutToRemove(TProjectNode *node) {
  if (observer_)
    observer_->AboutToRemove(node);
}

void TProject::Removed(TProjectNode *parent, int row) {
  modified_ = true;
  if (observer_)
    observer_->Removed(parent, row);
}

void TProject::DataChanged(TProjectNode *node, TNodeChange what) {
  // Marks and titles live in the item files; the tree file holds labels and
  // the open state.
  if (what != TNodeChange::Data)
    modified_ = true;
  if (observer_)
    observer_->DataChanged(node, what);
}

void TProject::AboutToReset() {
  if (observer_)
    observer_->AboutToReset();
}

void TProject::Reset() {
  if (observer_)
    observer_->Reset();
}
