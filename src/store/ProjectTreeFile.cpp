// Loading and saving MainTree.dat: the half of TProjectTree that knows the file.
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/ProjectTree.h"

#include "store/FaultInjection.h"

#include <atomic>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace {

const char kTreeFileName[] = "MainTree.dat";

// An entry that names the tree file (or its backup) as its item file: the
// item's next store would overwrite the tree, and the next save of the tree
// its text. Such an entry is never an item.
bool NamesTreeFile(std::string_view name) {
  const std::string bare = ExtractFileName(name);
  const std::string tree = kTreeFileName;
  return TIniFile::SameName(bare, tree) || TIniFile::SameName(bare, tree + ".ord");
}

TProjectTree::SaveStepHook &StepHook() {
  static TProjectTree::SaveStepHook hook;
  return hook;
}

bool Continue(TProjectTree::SaveStep step) { return !StepHook() || StepHook()(step); }

// "Child01" ... "Child99", "Child100" ...
std::string ChildKey(int n) {
  std::string key = "Child";
  if (n < 10)
    key += '0';
  key += std::to_string(n);
  return key;
}

// Item files live in the project directory itself. A name with a directory
// part (or a NUL, which would cut the name short) could make the editor read
// and later overwrite a file elsewhere, so such an item counts as unreadable.
// A name not on disk as spelt is looked for in another letter case: projects
// made on case-insensitive file systems name "Item.TXT" for "item.txt". The
// item then works on the file found, and its path says so.
// TNodeFiles::Open, reading every item of a load into one reused buffer and
// trimming each text's line list to its size: with every text of a big
// project in memory, both keep the heap markedly smaller.
void ParseItem(TNodeFiles &files, const std::string &bytes, bool loadBody, TStringList &warnings) {
  files.ParseHeader(bytes, &warnings);
  files.Body.clear();
  if (loadBody)
    files.ParseBody(bytes);
}

} // namespace

// The item files a load will come to, read and parsed beside it on a few
// threads: reading and parsing is most of a load's time. The threads take
// the files in the tree file's order, which is the order the load comes to
// them; the load takes each one as it comes to it, with its warnings, as if
// it had read it then, and reads a file no thread has started on itself.
class TItemPrefetch {
public:
  struct Item {
    TNodeFiles files;
    TStringList warnings;
    fsys::Status read;
    std::atomic<int> state{kWaiting};
    bool taken = false;
  };

  TItemPrefetch(const std::string &dir, std::vector<std::string> names, unsigned threads)
      : items_(names.size()), nameAt_(dir.size()) {
    names_.reserve(names.size());
    index_.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      items_[i].files.FilePath = dir + names[i];
      names_.push_back(std::move(names[i]));
    }
    for (size_t i = 0; i < names_.size(); ++i)
      index_.emplace(names_[i], i); // views into names_, which stays as it is
    (void)folder_.Open(dir);        // unopened, it reads by the whole path
    for (unsigned t = 1; t < threads; ++t)
      pool_.emplace_back([this] {
        std::string buffer; // one per thread, reused: a smaller heap
        for (size_t k; !stop_.load(std::memory_order_relaxed) &&
                       (k = next_.fetch_add(1, std::memory_order_relaxed)) < items_.size();)
          Read(items_[items_.size() - 1 - k], buffer);
      });
  }

  ~TItemPrefetch() {
    stop_.store(true, std::memory_order_relaxed);
    for (std::thread &t : pool_)
      t.join();
  }

  // The file named so, read now or before; null when it is not one of the
  // files (or was taken).
  Item *Take(std::string_view name, std::string &buffer) {
    auto it = index_.find(name);
    if (it == index_.end() || items_[it->second].taken)
      return nullptr;
    Item &item = items_[it->second];
    item.taken = true;
    Read(item, buffer); // unless a thread has
    item.state.wait(kReading, std::memory_order_acquire);
    return &item;
  }

private:
  static constexpr int kWaiting = 0, kReading = 1, kDone = 2;

  void Read(Item &item, std::string &buffer) {
    int waiting = kWaiting;
    if (!item.state.compare_exchange_strong(waiting, kReading, std::memory_order_acquire))
      return;
    item.read = folder_.ReadFile(std::string_view(item.files.FilePath).substr(nameAt_), buffer,
                                 &item.files.Disk);
    if (item.read)
      ParseItem(item.files, buffer, true, item.warnings);
    item.state.store(kDone, std::memory_order_release);
    item.state.notify_all();
  }

  std::vector<Item> items_;
  std::vector<std::string> names_;
  std::unordered_map<std::string_view, size_t> index_;
  size_t nameAt_;
  fsys::Directory folder_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> pool_;
};

namespace {

// Below this many files a load reads them itself: threads cost more.
constexpr size_t kPrefetchMinimum = 256;

bool OpenItem(TNodeFiles &files, std::string_view fileName, bool loadBody, std::string &buffer,
              TStringList &warnings, TFoldedNames &folded, TItemPrefetch *prefetch) {
  if (!IsPlainFileName(fileName))
    return false;
  fsys::Status read;
  TItemPrefetch::Item *ahead = prefetch ? prefetch->Take(fileName, buffer) : nullptr;
  if (ahead && ahead->read) {
    files = std::move(ahead->files);
    warnings.insert(warnings.end(), std::make_move_iterator(ahead->warnings.begin()),
                    std::make_move_iterator(ahead->warnings.end()));
    return true;
  }
  read = ahead ? ahead->read : fsys::ReadFile(files.FilePath, buffer, &files.Disk);
  if (!read && read.code == ENOENT) {
    std::string onDisk = folded.Find(fileName);
    if (onDisk.empty())
      return false;
    files.FilePath = ExtractFilePath(files.FilePath) + onDisk;
    read = fsys::ReadFile(files.FilePath, buffer, &files.Disk);
  }
  if (!read)
    return false;
  ParseItem(files, buffer, loadBody, warnings);
  return true;
}

} // namespace

void TProjectTree::SetSaveStepHookForTest(SaveStepHook hook) { StepHook() = std::move(hook); }

bool TProjectTree::LoadProject(std::string_view dir) {
  if (observer_)
    observer_->AboutToReset();
  ++resetting_;
  ClearNodes();
  skipped_.clear();
  loadWarnings_.clear();
  treeDisk_ = fsys::Stamp{};
  treeDiskPath_.clear();
  if (!fsys::DirectoryExists(dir)) {
    projectDir_.clear();
  } else {
    projectDir_ = AddPathSeparator(dir);
    treeDiskPath_ = projectDir_ + kTreeFileName;
    treeDisk_ = fsys::AbsentStamp(); // a tree file that appears later is someone else's
    LoadTreeFile(treeDiskPath_);
    selected_ = selectNode_;
  }
  --resetting_;
  if (observer_)
    observer_->Reset();
  return RootNode() != nullptr;
}

std::unique_ptr<TItemPrefetch> TProjectTree::Prefetch(const TIniFile &ini) const {
  if (LoadMode != TLoadMode::Full)
    return nullptr;
  unsigned threads = ReadThreads ? ReadThreads : std::thread::hardware_concurrency();
  // Under a fault plan every run must make its calls in one order.
  if (threads < 2 || fsys::fault::Active())
    return nullptr;
  // Every file a section names; the few a load does not come to (sections
  // no list reaches) are read for nothing.
  std::vector<std::string> names;
  std::unordered_set<std::string_view> seen; // views of the values in `ini`
  ini.ForEachSection([&](const TIniFile::Section &section) {
    const std::string *name = ini.Find(&section, "FileName");
    if (name && IsPlainFileName(*name) && !NamesTreeFile(*name) && seen.insert(*name).second)
      names.push_back(*name);
  });
  if (names.size() < kPrefetchMinimum)
    return nullptr;
  return std::make_unique<TItemPrefetch>(projectDir_, std::move(names), threads);
}

void TProjectTree::LoadTreeFile(std::string_view path) {
  if (!fsys::FileExists(path))
    return;
  const bool watched = path == treeDiskPath_;
  std::string bytes;
  fsys::Stamp seen;
  if (!fsys::ReadFile(path, bytes, &seen)) {
    if (watched)
      treeDisk_ = fsys::Stamp{}; // unreadable: as good as missing, nothing to compare
    return;
  }
  if (watched)
    treeDisk_ = seen;
  TIniFile ini;
  ini.Parse(bytes);
  bytes = std::string();
  std::unique_ptr<TItemPrefetch> prefetch = Prefetch(ini);
  prefetch_ = prefetch.get();
  struct Done {
    TItemPrefetch *&p;
    ~Done() { p = nullptr; }
  } done{prefetch_};
  WindowData.ReadSettings(ini);
  selectNode_ = nullptr;

  auto data = std::make_unique<TNodeData>();
  data->ID = "Root";
  data->Files.FilePath = projectDir_ + WindowData.RootFileName;
  std::string buffer;
  TFoldedNames folded(projectDir_);
  if (!NamesTreeFile(WindowData.RootFileName) &&
      OpenItem(data->Files, WindowData.RootFileName, LoadMode == TLoadMode::Full, buffer,
               loadWarnings_, folded, prefetch_)) {
    std::string title = data->Files.Title;
    TProjectNode *root = AddChild(nullptr, title, std::move(data));
    if (OnNodeLoaded)
      OnNodeLoaded(root);
    selectNode_ = root;
    if (LoadMode == TLoadMode::RootOnly)
      WindowData.LastNode.clear();
    else
      LoadChildren(ini, "Root", false, root, folded);
  }
  if (TProjectNode *root = RootNode()) {
    if (WindowData.LastNode.empty())
      selected_ = root;
    SetExpanded(root, true);
  }
}

void TProjectTree::LoadChildren(const TIniFile &ini, std::string_view section, bool parentExpanded,
                                TProjectNode *parent, TFoldedNames &folded) {
  if (!parent)
    return;
  // Items already in the tree, by ID (compared as sections are) and by file:
  // a second node on the same item would hold a stale copy of its text and
  // overwrite the other's edits when stored. The views point into the nodes'
  // own data, which stays put while the tree grows.
  using NameSet = std::unordered_set<std::string_view, TIniFile::NameHash, TIniFile::NameEqual>;
  NameSet ids;
  std::unordered_set<std::string_view> files;
  ids.reserve(ini.SectionCount());
  files.reserve(ini.SectionCount());
  for (TProjectNode *n = GetFirstNode(); n; n = n->GetNext()) {
    ids.insert(n->Data()->ID);
    files.insert(n->Data()->Files.FilePath);
  }
  // Sections on the path from the root to the list being read.
  NameSet path{section};
  for (TProjectNode *p = parent; p; p = p->Parent())
    path.insert(p->Data()->ID);

  // Depth first with an explicit stack: a tree file may nest deeper than
  // the call stack could.
  struct Frame {
    std::string_view section;
    const TIniFile::Section *keys;
    bool expanded;
    TProjectNode *parent;
    int next;
  };
  std::vector<Frame> stack{{section, ini.GetSection(section), parentExpanded, parent, 1}};
  const bool loadBody = LoadMode == TLoadMode::Full;
  std::string buffer;
  while (!stack.empty()) {
    Frame &f = stack.back();
    const std::string *child = ini.Find(f.keys, ChildKey(f.next));
    if (!child || child->empty() || *child == f.section) {
      path.erase(f.section);
      stack.pop_back();
      continue;
    }
    ++f.next;
    const std::string &id = *child;
    const TIniFile::Section *keys = ini.GetSection(id);
    const std::string *named = ini.Find(keys, "FileName");
    const std::string_view fileName = named ? std::string_view(*named) : std::string_view();
    auto filePathOf = [&](std::string_view name) { return projectDir_ + std::string(name); };
    std::string filePath = filePathOf(fileName);
    auto skip = [&](TSkippedItem::Reason why) {
      skipped_.push_back(TSkippedItem{std::string(f.section), id, std::string(fileName), why});
    };
    if (path.count(id)) {
      skip(TSkippedItem::Cycle);
      continue;
    }
    if (ids.count(id)) {
      skip(TSkippedItem::Duplicate);
      continue;
    }
    if (files.count(filePath) || NamesTreeFile(fileName)) {
      skip(TSkippedItem::SharedFile);
      continue;
    }
    if (fileName.empty()) { // no file to wait for: nothing is lost
      skip(TSkippedItem::MissingFile);
      continue;
    }
    auto data = std::make_unique<TNodeData>();
    data->ID = id;
    data->Files.FilePath = std::move(filePath);
    bool read = false;
    if (LoadMode == TLoadMode::TreeOnly) {
      read = IsPlainFileName(fileName);
    } else {
      read = OpenItem(data->Files, fileName, loadBody, buffer, loadWarnings_, folded, prefetch_);
      // Found in another letter case: that file may be another entry's.
      if (read && data->Files.FilePath != filePathOf(fileName) &&
          files.count(data->Files.FilePath)) {
        skip(TSkippedItem::SharedFile);
        continue;
      }
    }
    if (!read) {
      // A file moved away for a moment must not cost the branch at the next
      // save: the entry stays, with what the tree file says of it.
      data->Files = TNodeFiles();
      data->Files.FilePath = filePathOf(fileName);
      data->Files.Title = fileName;
      data->Missing = true;
      data->ListedFileName = fileName;
    }
    std::string title = data->Files.Title;
    TProjectNode *node = AddChild(f.parent, title, std::move(data));
    SetExpanded(f.parent, f.expanded);
    bool expanded = ini.ReadBool(keys, "Expanded", false);
    const TNodeData &own = *node->Data();
    ids.insert(own.ID);
    files.insert(own.Files.FilePath);
    if (OnNodeLoaded)
      OnNodeLoaded(node);
    if (own.ID == WindowData.LastNode)
      selectNode_ = node;
    path.insert(own.ID);
    stack.push_back(Frame{own.ID, keys, expanded, node, 1}); // `f` is stale from here
  }
}

std::vector<TProjectNode *> TProjectTree::MissingItems() const {
  std::vector<TProjectNode *> missing;
  for (TProjectNode *n = GetFirstNode(); n; n = n->GetNext())
    if (n->Data()->Missing)
      missing.push_back(n);
  return missing;
}

bool TProjectTree::SaveProject(TreeOverwrite overwrite) {
  if (projectDir_.empty())
    return FailSave("no project directory is set", fsys::Failure{"save", kTreeFileName, ENOENT});
  return SaveTreeFile(projectDir_ + kTreeFileName, overwrite);
}

fsys::DiskChange TProjectTree::CheckTreeFile() {
  return treeDiskPath_.empty() ? fsys::DiskChange::None
                               : fsys::CheckStamp(treeDiskPath_, treeDisk_);
}

bool TProjectTree::FailSave(const fsys::Failure &failure) {
  return FailSave(failure.Text(), failure);
}

bool TProjectTree::FailSave(std::string reason, fsys::Failure failure) {
  lastSaveFailed_ = true;
  lastSaveError_ = std::move(reason);
  lastSaveFailure_ = std::move(failure);
  return false;
}

bool TProjectTree::BuildTreeFile(TIniFile &ini) const {
  TProjectNode *root = RootNode();
  if (!root)
    return false;
  ini.Reserve(nodeCount_ + 8);
  WindowData.WriteSettings(ini);
  SaveChildren(ini, "Root", root);
  ini.WriteString("Root", "FileName", ExtractFileName(root->Data()->Files.FilePath));
  ini.WriteString("Root", "LastNode", selected_ ? selected_->Data()->ID : std::string());
  return true;
}

void TProjectTree::SaveChildren(TIniFile &ini, std::string_view section,
                                TProjectNode *parent) const {
  if (!parent)
    return;
  struct Frame {
    TIniFile::Section *keys;
    TProjectNode *parent;
    int next;
  };
  std::vector<Frame> stack{{ini.OpenSection(section), parent, 0}};
  while (!stack.empty()) {
    Frame &f = stack.back();
    TProjectNode *child = f.parent->Item(f.next);
    if (!child) {
      stack.pop_back();
      continue;
    }
    ++f.next;
    const std::string &id = child->Data()->ID;
    ini.WriteBool(f.keys, "Expanded", f.parent->Expanded());
    ini.WriteString(f.keys, ChildKey(f.next), id);
    TIniFile::Section *own = ini.OpenSection(id);
    const TNodeData &d = *child->Data();
    ini.WriteString(own, "FileName",
                    d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath));
    if (child->HasChildren())
      stack.push_back(Frame{own, child, 0}); // `f` is stale from here
  }
}

bool TProjectTree::SaveTreeFile(std::string_view path, TreeOverwrite overwrite) {
  TIniFile ini;
  if (!BuildTreeFile(ini))
    // A failure with a code: a status of 0 would read as a save that worked.
    return FailSave("the tree is empty; the tree file was not written",
                    fsys::Failure{"save", std::string(path), EINVAL});
  // A read-only tree file stays as it is; a link to a tree file elsewhere in
  // the project is written through, one leading out of the project never.
  std::string target;
  const std::string withinDir = ExtractFilePath(path);
  if (fsys::Status s = fsys::ResolveWriteTarget(path, withinDir, target); !s)
    return FailSave(s);
  // 1. The new file, complete and flushed, beside the old one, with its mode
  //    and owner.
  const std::string fresh = target + ".new";
  const std::string previous = std::string(path) + ".ord";
  const bool watched = path == treeDiskPath_;
  fsys::Stamp written;
  fsys::WriteOptions options;
  options.withinDir = withinDir;
  options.modeFrom = target;
  options.seen = &written;
  if (fsys::Status s = fsys::WriteFile(fresh, ini.Serialize(), options); !s) {
    fsys::DeleteFile(fresh); // in place already when only its flush failed
    return FailSave(s);
  }
  // What someone else wrote to the tree file since it was read here (a sync
  // client, another editor) is not replaced unasked; not even the backup is
  // touched.
  if (watched && overwrite == TreeOverwrite::IfUnchanged) {
    fsys::DiskChange change = fsys::CheckStamp(path, treeDisk_);
    if (change != fsys::DiskChange::None) {
      fsys::DeleteFile(fresh);
      return FailSave(fsys::Failure{"check", std::string(path),
                                    change == fsys::DiskChange::Gone ? fsys::kGoneFromDisk
                                                                     : fsys::kChangedOnDisk});
    }
  }
  if (!Continue(SaveStep::NewFileWritten))
    return false;
  // 2. The old file also becomes the .ord backup; it stays the tree file
  //    until step 3 replaces it in one rename.
  if (fsys::Exists(previous)) {
    if (fsys::Status s = fsys::DeleteFile(previous); !s) {
      fsys::DeleteFile(fresh);
      return FailSave(s);
    }
  }
  if (fsys::FileExists(target) && !fsys::HardLink(target, previous)) {
    if (fsys::Status s = fsys::CopyFile(target, previous, false); !s) {
      fsys::DeleteFile(fresh);
      return FailSave(s);
    }
  }
  if (!Continue(SaveStep::PreviousKept))
    return false;
  // 3. The new file takes the old one's place.
  const fsys::Status renamed = fsys::RenameFile(fresh, target);
  if (watched) {
    // The rename moves the file's change time; the bytes are the ones
    // written. They are the tree file even when only the flush of the folder
    // failed.
    if (fsys::Restamp(target, written))
      treeDisk_ = written;
  }
  if (!renamed) {
    fsys::DeleteFile(fresh);
    return FailSave(renamed);
  }
  if (!Continue(SaveStep::Replaced))
    return false;
  lastSaveFailed_ = false;
  lastSaveError_.clear();
  lastSaveFailure_ = fsys::Failure{};
  return true;
}
