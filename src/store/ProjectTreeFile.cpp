// Loading and saving MainTree.dat: the half of TProjectTree that knows the file.
#include "store/Codec.h"
#include "store/FileSystem.h"
#include "store/IniFile.h"
#include "store/Leftovers.h"
#include "store/LibUnit.h"
#include "store/ProjectTree.h"
#include "store/Threads.h"

#include "store/FaultInjection.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace {

const char kTreeFileName[] = "MainTree.dat";

// An entry that names the tree file (or its backup) as its item file: the
// item's next store would overwrite the tree, and the next save of the tree
// its text. Such an entry is never an item.
bool NamesTreeFile(std::string_view name) {
  for (std::string_view file :
       {std::string_view(kTreeFileName), std::string_view("MainTree.dat.ord")})
    if (name.size() >= file.size() &&
        TIniFile::SameName(name.substr(name.size() - file.size()), file) &&
        (name.size() == file.size() || name[name.size() - file.size() - 1] == kPathSeparator))
      return true;
  return false;
}

// Sections of the settings (and the root item's, which holds settings too):
// written from WindowData at every save, never kept aside.
bool IsSettingsSection(std::string_view name) {
  for (const char *own : {"Root", "Window", "Font", "Header", "AttachWin"})
    if (TIniFile::SameName(name, own))
      return true;
  return false;
}

// A "Child" key with its number ("Child01", "child7"...).
bool IsChildKey(std::string_view key) {
  if (key.size() <= 5 || !TIniFile::SameName(key.substr(0, 5), "Child"))
    return false;
  for (char c : key.substr(5))
    if (c < '0' || c > '9')
      return false;
  return true;
}

// Replaces `previous` by a second name of `target` (or, where links fail, a
// crash-safe copy of it) in one rename: at no moment is there no backup.
fsys::Status KeepBackup(const std::string &target, const std::string &previous) {
  const std::string link = fsys::StrayName(previous);
  if (fsys::Exists(link))
    (void)fsys::DeleteFile(link); // left by a save stopped in between
  fsys::Status kept = fsys::HardLink(target, link);
  if (kept)
    kept = fsys::RenameFile(link, previous);
  // (Also after a rename between two names of one file, which leaves both.)
  if (fsys::Exists(link))
    (void)fsys::DeleteFile(link);
  if (!kept)
    kept = fsys::CopyFile(target, previous, false);
  return kept;
}

TProjectTree::SaveStepHook &StepHook() {
  static TProjectTree::SaveStepHook hook;
  return hook;
}

bool Continue(TProjectTree::SaveStep step) { return !StepHook() || StepHook()(step); }

// The new tree file of a save that failed. The save's own failure is the one
// reported; a file that cannot go is what a stopped save leaves, offered at
// the next open when complete and newer, else replaced by the next save.
void DropNewFile(const std::string &fresh) { (void)fsys::DeleteFile(fresh); }

// The name of a save's new tree file: target + ".new", where a stopped save
// is looked for. A folder or a link there is not the save's to remove or to
// write through (into an item's file, out of the project): the save then
// takes a free name of its own, only that it cannot be finished if stopped.
std::string NewFileName(const std::string &target) {
  std::string fresh = fsys::NewTreeName(target);
  fsys::Entry e;
  uint64_t device, inode;
  for (int n = 1; fsys::Identity(fresh, device, inode) &&
                  (!fsys::Stat(fresh, e) || e.isSymlink || e.isDirectory);
       ++n)
    fresh = fsys::NewTreeName(target, n);
  return fresh;
}

// A save the test hook stopped is no success: it left its files as a kill would.
fsys::Status Stopped(std::string_view path) {
  return fsys::Status{"save", std::string(path), fsys::kStoppedForTest};
}

// "Child01" ... "Child99", "Child100" ...
std::string_view ChildKey(int n, char (&buffer)[24]) {
  std::memcpy(buffer, "Child", 5);
  char *at = buffer + 5;
  if (n < 10)
    *at++ = '0';
  at = std::to_chars(at, buffer + sizeof buffer, n).ptr;
  return std::string_view(buffer, static_cast<size_t>(at - buffer));
}

// Every item of a load is read into one reused buffer, and each text is
// trimmed to its size: with every text of a big project in memory, both keep
// the heap markedly smaller.
void ParseItem(TNodeFiles &files, const std::string &bytes, bool loadBody, TStringList &warnings) {
  files.ParseHeader(bytes, &warnings);
  files.Body.clear();
  if (loadBody)
    files.ParseBody(bytes);
}

} // namespace

// The files a tree file names, each name once (compared exactly, as paths
// are): one slot per name, found from the section that names it without a
// look-up by name. A load marks a slot once an item holds its file.
class TItemNames {
public:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

  TItemNames() = default;
  // The names are copied: a load lets go of each section once it is done
  // with it.
  void Build(const TIniFile &ini) {
    ofSection_.assign(ini.SectionCount(), kNone);
    index_.reserve(ini.SectionCount());
    names_.reserve(ini.SectionCount());
    size_t total = 0;
    ini.ForEachSection([&](const TIniFile::Section &section) {
      if (const std::string *name = ini.Find(&section, "FileName"))
        total += name->size();
    });
    bytes_.reserve(total); // never grows: the views stay valid
    ini.ForEachSection([&](const TIniFile::Section &section) {
      const std::string *name = ini.Find(&section, "FileName");
      if (!name || name->empty())
        return;
      auto found = index_.find(*name);
      if (found == index_.end()) {
        bytes_.append(*name);
        const std::string_view own(bytes_.data() + bytes_.size() - name->size(), name->size());
        found = index_.emplace(own, static_cast<uint32_t>(names_.size())).first;
        names_.push_back(own);
      }
      ofSection_[section.Ordinal()] = found->second;
    });
  }

  size_t size() const { return names_.size(); }
  std::string_view Name(uint32_t slot) const { return names_[slot]; }
  uint32_t Of(const TIniFile::Section *section) const {
    return section && section->Ordinal() < ofSection_.size() ? ofSection_[section->Ordinal()]
                                                             : kNone;
  }
  uint32_t Find(std::string_view name) const {
    auto it = index_.find(name);
    return it == index_.end() ? kNone : it->second;
  }

private:
  std::vector<uint32_t> ofSection_;
  std::string bytes_; // the names, one after another
  std::vector<std::string_view> names_;
  std::unordered_map<std::string_view, uint32_t> index_;
};

// The item files a load will come to, read and parsed beside it on a few
// threads: reading and parsing is most of a load's time. The threads take
// the files from the end of the tree file, the load comes to them from its
// start, reading any file no thread has started on itself; it takes each one
// as it comes to it, with its warnings, as if it had read it then. Files go
// by the section that names them, so that reading starts before the load
// has gathered the names.
class TItemPrefetch {
  static constexpr int kNotWanted = -1, kWaiting = 0, kReading = 1, kDone = 2;

public:
  // One for every section of a big tree file: kept small, a failed read's
  // report apart.
  struct Item {
    std::unique_ptr<TNodeData> data;
    TStringList warnings;
    std::unique_ptr<fsys::Status> failed;
    std::atomic<int> state{kNotWanted};
    bool taken = false;
  };

  // Every file a section names, or null when a load is better off reading
  // them itself. The few a load does not come to (sections no list reaches,
  // a second section naming a file) are read for nothing.
  static std::unique_ptr<TItemPrefetch> For(const std::string &dir, const TIniFile &ini,
                                            unsigned threads, bool loadBody);

  TItemPrefetch(const std::string &dir, std::vector<std::string_view> names,
                std::vector<uint32_t> order, unsigned threads, bool loadBody)
      : dir_(dir), names_(std::move(names)), order_(std::move(order)), items_(names_.size()),
        loadBody_(loadBody) {
    for (uint32_t section : order_)
      items_[section].state.store(kWaiting, std::memory_order_relaxed);
    (void)folder_.Open(dir); // unopened, it reads by the whole path
    // Fewer threads than asked for, or none, only make the load read more
    // files itself.
    for (unsigned t = 1; t < threads; ++t) {
      std::thread reader;
      if (!threads::TryStart(reader, [this] {
            std::string buffer; // one per thread, reused: a smaller heap
            for (size_t k; !stop_.load(std::memory_order_relaxed) &&
                           (k = next_.fetch_add(1, std::memory_order_relaxed)) < order_.size();)
              Read(order_[order_.size() - 1 - k], buffer);
          }))
        break;
      pool_.push_back(std::move(reader));
    }
  }

  ~TItemPrefetch() {
    stop_.store(true, std::memory_order_relaxed);
    for (std::thread &t : pool_)
      t.join();
  }

  // The file `name` of `section`, read now or before; null when it is not
  // read ahead (or was taken).
  Item *Take(const TIniFile::Section *section, std::string_view name, std::string &buffer) {
    if (!section || section->Ordinal() >= items_.size())
      return nullptr;
    const size_t at = section->Ordinal();
    Item &item = items_[at];
    if (item.taken || names_[at] != name ||
        item.state.load(std::memory_order_relaxed) == kNotWanted)
      return nullptr;
    item.taken = true;
    Read(at, buffer); // unless a thread has
    item.state.wait(kReading, std::memory_order_acquire);
    return &item;
  }

private:
  void Read(size_t at, std::string &buffer) {
    Item &item = items_[at];
    int waiting = kWaiting;
    if (!item.state.compare_exchange_strong(waiting, kReading, std::memory_order_acquire))
      return;
    item.data = std::make_unique<TNodeData>();
    TNodeFiles &files = item.data->Files;
    files.FilePath.reserve(dir_.size() + names_[at].size());
    files.FilePath.append(dir_).append(names_[at]);
    if (fsys::Status read = folder_.ReadFile(names_[at], buffer, &files.Disk); !read)
      item.failed = std::make_unique<fsys::Status>(std::move(read));
    else
      ParseItem(files, buffer, loadBody_, item.warnings);
    item.state.store(kDone, std::memory_order_release);
    item.state.notify_all();
  }

  const std::string &dir_;
  // By section: views of the values in the tree file. A load lets go of a
  // section only once it has taken its item, and a taken item's name is not
  // looked at again.
  std::vector<std::string_view> names_;
  std::vector<uint32_t> order_; // the sections read ahead, in file order
  std::vector<Item> items_;     // by section
  bool loadBody_;
  fsys::Directory folder_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> pool_;
};

namespace {

// Below this many files a load reads them itself: threads cost more.
constexpr size_t kPrefetchMinimum = 256;
// Below this many sections a load frees its tree file itself, for the same
// reason.
constexpr size_t kLeaveToFree = 1024;

} // namespace

std::unique_ptr<TItemPrefetch> TItemPrefetch::For(const std::string &dir, const TIniFile &ini,
                                                  unsigned threads, bool loadBody) {
  // Under a fault plan every run must make its calls in one order.
  if (threads < 2 || fsys::fault::Active())
    return nullptr;
  std::vector<std::string_view> names(ini.SectionCount());
  std::vector<uint32_t> order;
  order.reserve(names.size());
  ini.ForEachSection([&](const TIniFile::Section &section) {
    const std::string *name = ini.Find(&section, "FileName");
    if (name && IsPlainFileName(*name) && !NamesTreeFile(*name)) {
      names[section.Ordinal()] = *name;
      order.push_back(static_cast<uint32_t>(section.Ordinal()));
    }
  });
  if (order.size() < kPrefetchMinimum)
    return nullptr;
  return std::make_unique<TItemPrefetch>(dir, std::move(names), std::move(order), threads,
                                         loadBody);
}

// What a load keeps beside the tree it builds: which IDs are in the tree or
// on the path to the list being read (compared as section names are), and
// which files an item holds. Marks go by section and by file slot, without a
// look-up by name; IDs and files without either (nodes that were there before
// the load, files found in another letter case) are kept by name.
class TTreeLoad {
public:
  enum Mark : uint8_t { kInTree = 1, kOnPath = 2 };

  // With `prefetch` (a load of every text), the threads start reading
  // while the names are gathered.
  TTreeLoad(const TIniFile &ini, const std::string &dir, bool withNames,
            std::unique_ptr<TItemPrefetch> prefetch)
      : ini(ini), dir(dir), folded(dir), prefetch(std::move(prefetch)) {
    if (withNames)
      names.Build(ini);
    marks_.assign(ini.SectionCount(), 0);
    used_.assign(names.size(), 0);
  }

  const TIniFile &ini;
  // Set: the load may let go of the keys of a section it is done with (the
  // lines of a big tree file are a good part of the memory a load needs).
  TIniFile *release = nullptr;
  const std::string &dir;
  TItemNames names;
  TFoldedNames folded;
  std::unique_ptr<TItemPrefetch> prefetch;
  std::string buffer;

  bool Marked(std::string_view id, const TIniFile::Section *section, Mark mark) const {
    if (section)
      return (marks_[section->Ordinal()] & mark) != 0;
    return (mark == kInTree ? otherIds_ : otherPath_).count(id) != 0;
  }
  void SetMark(std::string_view id, const TIniFile::Section *section, Mark mark) {
    if (section)
      marks_[section->Ordinal()] |= mark;
    else
      (mark == kInTree ? otherIds_ : otherPath_).insert(id);
  }
  // An item of the tree stands for this section.
  bool InTree(const TIniFile::Section &section) const {
    return (marks_[section.Ordinal()] & kInTree) != 0;
  }
  void ClearMark(std::string_view id, const TIniFile::Section *section, Mark mark) {
    if (section)
      marks_[section->Ordinal()] &= static_cast<uint8_t>(~mark);
    else
      (mark == kInTree ? otherIds_ : otherPath_).erase(id);
  }

  // Whether an item holds the file of `slot`, or the file `name`.
  bool Used(uint32_t slot) const { return slot != TItemNames::kNone && used_[slot]; }
  bool Used(std::string_view name) const {
    uint32_t slot = names.Find(name);
    return slot != TItemNames::kNone ? used_[slot] != 0 : otherFiles_.count(name) != 0;
  }
  // `path` is an item's file path, in `dir` (views of it stay valid).
  void Use(std::string_view path) {
    std::string_view name = InDir(path);
    uint32_t slot = names.Find(name);
    if (slot != TItemNames::kNone)
      used_[slot] = 1;
    else
      otherFiles_.insert(name);
  }
  void Use(uint32_t slot, std::string_view path) {
    if (slot != TItemNames::kNone && InDir(path) == names.Name(slot))
      used_[slot] = 1;
    else
      Use(path);
  }
  std::string_view InDir(std::string_view path) const {
    return path.substr(0, dir.size()) == dir ? path.substr(dir.size()) : path;
  }

  // Reads the item file `fileName` (named by `section`) into a new `data`,
  // whose files get its path; false when it cannot be read. Item files live
  // in the project directory itself. A name with a directory part (or a NUL,
  // which would cut the name short) could make the editor read and later
  // overwrite a file elsewhere, so such an item counts as unreadable. A name
  // not on disk as spelt is looked for in another letter case: projects made
  // on case-insensitive file systems name "Item.TXT" for "item.txt". The item
  // then works on the file found, and its path says so.
  bool Open(std::unique_ptr<TNodeData> &data, std::string_view fileName,
            const TIniFile::Section *section, bool loadBody, TStringList &warnings) {
    TItemPrefetch::Item *ahead = nullptr;
    if (prefetch && IsPlainFileName(fileName))
      ahead = prefetch->Take(section, fileName, buffer);
    if (ahead && !ahead->failed) {
      data = std::move(ahead->data);
      warnings.insert(warnings.end(), std::make_move_iterator(ahead->warnings.begin()),
                      std::make_move_iterator(ahead->warnings.end()));
      return true;
    }
    data = std::make_unique<TNodeData>();
    if (!IsPlainFileName(fileName))
      return false;
    TNodeFiles &files = data->Files;
    files.FilePath.assign(dir).append(fileName);
    fsys::Status read =
        ahead ? std::move(*ahead->failed) : fsys::ReadFile(files.FilePath, buffer, &files.Disk);
    if (!read && read.code == ENOENT) {
      std::string onDisk = folded.Find(fileName);
      if (onDisk.empty())
        return false;
      files.FilePath.assign(dir).append(onDisk);
      read = fsys::ReadFile(files.FilePath, buffer, &files.Disk);
    }
    if (!read)
      return false;
    ParseItem(files, buffer, loadBody, warnings);
    return true;
  }

private:
  using NameSet = std::unordered_set<std::string_view, TIniFile::NameHash, TIniFile::NameEqual>;
  std::vector<uint8_t> marks_; // by section
  std::vector<uint8_t> used_;  // by file slot
  NameSet otherIds_, otherPath_;
  std::unordered_set<std::string_view> otherFiles_;
};

void TProjectTree::SetSaveStepHookForTest(SaveStepHook hook) { StepHook() = std::move(hook); }

// A load is one reset to the view and keeps nothing of the load before.
void TProjectTree::BeginLoad() {
  if (observer_)
    observer_->AboutToReset();
  ++resetting_;
  ClearNodes();
  skipped_.clear();
  unreached_.reset();
  loadWarnings_.clear();
  loadedMissing_ = 0;
}

void TProjectTree::EndLoad() {
  --resetting_;
  if (observer_)
    observer_->Reset();
}

bool TProjectTree::LoadProject(std::string_view dir) {
  BeginLoad();
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
  EndLoad();
  return RootNode() != nullptr;
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
  LoadTreeDocument(bytes);
}

bool TProjectTree::LoadTreeBytes(std::string_view bytes, const fsys::Stamp &onDisk) {
  if (projectDir_.empty())
    return false;
  BeginLoad();
  if (onDisk.known)
    treeDisk_ = onDisk;
  std::string copy(bytes);
  LoadTreeDocument(copy);
  selected_ = selectNode_;
  EndLoad();
  return RootNode() != nullptr;
}

void TProjectTree::LoadTreeDocument(std::string &bytes) {
  auto ini = std::make_unique<TIniFile>();
  ini->Parse(bytes);
  bytes = std::string();
  WindowData.ReadSettings(*ini);
  selectNode_ = nullptr;

  std::unique_ptr<TItemPrefetch> prefetch;
  if (LoadMode == TLoadMode::Full || LoadMode == TLoadMode::Headers)
    prefetch = TItemPrefetch::For(projectDir_, *ini,
                                  ReadThreads ? ReadThreads : std::thread::hardware_concurrency(),
                                  LoadMode == TLoadMode::Full);
  auto load = std::make_unique<TTreeLoad>(*ini, projectDir_, LoadMode != TLoadMode::RootOnly,
                                          std::move(prefetch));
  if (LoadMode != TLoadMode::RootOnly)
    load->release = ini.get();
  std::unique_ptr<TNodeData> data;
  if (!NamesTreeFile(WindowData.RootFileName) &&
      load->Open(data, WindowData.RootFileName, ini->GetSection("Root"),
                 LoadMode == TLoadMode::Full, loadWarnings_)) {
    data->ID = "Root";
    std::string_view title = data->Files.Title; // the data stays where it is
    TProjectNode *root = AddChild(nullptr, title, std::move(data));
    if (OnNodeLoaded)
      OnNodeLoaded(root);
    selectNode_ = root;
    if (LoadMode == TLoadMode::RootOnly)
      WindowData.LastNode.clear();
    else
      LoadChildren(*load, "Root", false, root);
  }
  if (RootNode() && LoadMode != TLoadMode::RootOnly) {
    // What no item stands for is kept for the next save: the first section
    // of each name (the one a reader sees), settings excepted.
    ini->ForEachSection([&](const TIniFile::Section &section) {
      if (load->InTree(section) || ini->GetSection(section.Name()) != &section ||
          IsSettingsSection(section.Name()))
        return;
      if (!unreached_)
        unreached_ = std::make_unique<TIniFile>();
      unreached_->AppendSection(section);
    });
  }
  load->prefetch.reset(); // its threads read through projectDir_
  // Freed on a thread of its own when one can be had, else here.
  if (ini->SectionCount() >= kLeaveToFree &&
      threads::TryStart(leftovers_, [ini = ini.get(), load = load.get()] {
        delete load; // it points into `ini`
        delete ini;
      })) {
    (void)load.release();
    (void)ini.release();
  }
  if (TProjectNode *root = RootNode()) {
    if (WindowData.LastNode.empty())
      selected_ = root;
    SetExpanded(root, true);
  }
}

void TProjectTree::LoadChildren(TTreeLoad &load, std::string_view section, bool parentExpanded,
                                TProjectNode *parent) {
  if (!parent)
    return;
  const TIniFile &ini = load.ini;
  // Items already in the tree, by ID and by file: a second node on the same
  // item would hold a stale copy of its text and overwrite the other's edits
  // when stored. The views point into the nodes' own data, which stays put
  // while the tree grows.
  for (TProjectNode *n = GetFirstNode(); n; n = n->GetNext()) {
    load.SetMark(n->Data()->ID, ini.GetSection(n->Data()->ID), TTreeLoad::kInTree);
    load.Use(n->Data()->Files.FilePath);
  }
  // Sections on the path from the root to the list being read.
  load.SetMark(section, ini.GetSection(section), TTreeLoad::kOnPath);
  for (TProjectNode *p = parent; p; p = p->Parent())
    load.SetMark(p->Data()->ID, ini.GetSection(p->Data()->ID), TTreeLoad::kOnPath);

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
  char key[24];
  while (!stack.empty()) {
    Frame &f = stack.back();
    const std::string *child = ini.Find(f.keys, ChildKey(f.next, key));
    if (!child || child->empty() || *child == f.section) {
      load.ClearMark(f.section, f.keys, TTreeLoad::kOnPath);
      // Its item is in the tree and its list read: what is left to ask of
      // it (its name, its file's name) does not need its keys.
      if (load.release && f.keys && load.InTree(*f.keys))
        load.release->ReleaseKeys(*f.keys);
      stack.pop_back();
      continue;
    }
    ++f.next;
    const std::string &id = *child;
    const TIniFile::Section *keys = ini.GetSection(id);
    const uint32_t slot = load.names.Of(keys); // the slot of `fileName`
    const std::string *named = slot == TItemNames::kNone ? ini.Find(keys, "FileName") : nullptr;
    const std::string_view fileName = slot != TItemNames::kNone ? load.names.Name(slot)
                                      : named                   ? std::string_view(*named)
                                                                : std::string_view();
    auto skip = [&](TSkippedItem::Reason why) {
      skipped_.push_back(TSkippedItem{std::string(f.section), id, std::string(fileName), why});
    };
    if (load.Marked(id, keys, TTreeLoad::kOnPath)) {
      skip(TSkippedItem::Cycle);
      continue;
    }
    if (load.Marked(id, keys, TTreeLoad::kInTree)) {
      skip(TSkippedItem::Duplicate);
      continue;
    }
    if (load.Used(slot) || NamesTreeFile(fileName)) {
      skip(TSkippedItem::SharedFile);
      continue;
    }
    if (fileName.empty()) { // no file to wait for: nothing is lost
      skip(TSkippedItem::MissingFile);
      continue;
    }
    std::unique_ptr<TNodeData> data;
    bool read = false;
    if (LoadMode == TLoadMode::TreeOnly) {
      data = std::make_unique<TNodeData>();
      data->Files.FilePath.assign(projectDir_).append(fileName);
      read = IsPlainFileName(fileName);
    } else {
      read = load.Open(data, fileName, keys, loadBody, loadWarnings_);
      // Found in another letter case: that file may be another entry's.
      std::string_view found = load.InDir(data->Files.FilePath);
      if (read && found != fileName && load.Used(found)) {
        skip(TSkippedItem::SharedFile);
        continue;
      }
    }
    data->ID = id;
    if (!read) {
      // A file moved away for a moment must not cost the branch at the next
      // save: the entry stays, with what the tree file says of it.
      data->Files = TNodeFiles();
      data->Files.FilePath.assign(projectDir_).append(fileName);
      data->Files.Title = fileName;
      data->Missing = true;
      data->ListedFileName = fileName;
      ++loadedMissing_;
    }
    std::string_view title = data->Files.Title; // the data stays where it is
    TProjectNode *node = AddChild(f.parent, title, std::move(data));
    SetExpanded(f.parent, f.expanded);
    bool expanded = ini.ReadBool(keys, "Expanded", false);
    const TNodeData &own = *node->Data();
    load.SetMark(own.ID, keys, TTreeLoad::kInTree);
    load.Use(slot, own.Files.FilePath);
    if (OnNodeLoaded)
      OnNodeLoaded(node);
    if (own.ID == WindowData.LastNode)
      selectNode_ = node;
    load.SetMark(own.ID, keys, TTreeLoad::kOnPath);
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

fsys::Status TProjectTree::SaveProject(TreeOverwrite overwrite) {
  if (projectDir_.empty())
    return fsys::Status{"save", kTreeFileName, fsys::kNoProjectDirectory};
  return SaveTreeFile(projectDir_ + kTreeFileName, overwrite);
}

fsys::DiskChange TProjectTree::CheckTreeFile() {
  return treeDiskPath_.empty() ? fsys::DiskChange::None
                               : fsys::CheckStamp(treeDiskPath_, treeDisk_);
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
  if (unreached_)
    unreached_->ForEachSection([&](const TIniFile::Section &section) {
      if (!ini.SectionExists(section.Name())) // an item took the name meanwhile
        ini.AppendSection(section);
    });
  return true;
}

std::vector<TSkippedItem> TProjectTree::UnreachedItems() const {
  std::vector<TSkippedItem> items;
  if (unreached_)
    unreached_->ForEachSection([&](const TIniFile::Section &section) {
      if (const std::string *name = unreached_->Find(&section, "FileName"))
        items.push_back(TSkippedItem{{}, section.Name(), *name, TSkippedItem::Unreached});
    });
  return items;
}

size_t TProjectTree::AttachUnreached() {
  TProjectNode *root = RootNode();
  if (!root || !unreached_)
    return 0;
  // A document of the kept sections under a root of its own whose child list
  // names the items to attach: the load's rules (cycles, shared files,
  // missing files) apply to them as to any list.
  TIniFile doc;
  using NameSet = std::unordered_set<std::string_view, TIniFile::NameHash, TIniFile::NameEqual>;
  NameSet listed;
  unreached_->ForEachSection([&](const TIniFile::Section &section) {
    doc.AppendSection(section);
    for (const std::string &key : unreached_->ReadSection(section.Name()))
      if (const std::string *child = unreached_->Find(&section, key);
          child && IsChildKey(key) && !TIniFile::SameName(*child, section.Name()))
        listed.insert(*child);
  });
  std::vector<std::string> order;
  for (bool top : {true, false})
    unreached_->ForEachSection([&](const TIniFile::Section &section) {
      if (unreached_->Find(&section, "FileName") && (listed.count(section.Name()) == 0) == top)
        order.push_back(section.Name());
    });
  char key[24];
  int n = 0;
  TIniFile::Section *list = doc.OpenSection("Root");
  for (const std::string &id : order)
    doc.WriteString(list, ChildKey(++n, key), id);

  const int firstRow = root->Count();
  const size_t nodesBefore = nodeCount_, skippedBefore = skipped_.size();
  {
    TTreeLoad load(doc, projectDir_, LoadMode != TLoadMode::RootOnly, nullptr);
    LoadChildren(load, "Root", true, root);
  }
  // The list above is made up here: what it could not place is no fault of
  // the file's, and stays kept.
  skipped_.erase(std::remove_if(skipped_.begin() + static_cast<std::ptrdiff_t>(skippedBefore),
                                skipped_.end(),
                                [](const TSkippedItem &s) { return s.Section == "Root"; }),
                 skipped_.end());
  NameSet placed;
  for (int row = firstRow; row < root->Count(); ++row)
    for (TProjectNode *m = root->Item(row); m; m = m->GetNextWithin(root->Item(row)))
      placed.insert(m->Data()->ID);
  auto kept = std::make_unique<TIniFile>();
  unreached_->ForEachSection([&](const TIniFile::Section &section) {
    if (!placed.count(section.Name()))
      kept->AppendSection(section);
  });
  unreached_ = kept->SectionCount() ? std::move(kept) : nullptr;
  return nodeCount_ - nodesBefore;
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
  char key[24];
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
    ini.WriteString(f.keys, ChildKey(f.next, key), id);
    TIniFile::Section *own = ini.OpenSection(id);
    const TNodeData &d = *child->Data();
    ini.WriteString(own, "FileName",
                    d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath));
    if (child->HasChildren())
      stack.push_back(Frame{own, child, 0}); // `f` is stale from here
  }
}

std::string TProjectTree::StoppedSaveFile(std::string_view path) {
  std::string target;
  if (!fsys::ResolveWriteTarget(path, ExtractFilePath(path), target))
    return {};
  const std::string fresh = fsys::NewTreeName(target);
  // Only a file the save wrote: a link (to a tree elsewhere, maybe outside
  // the project) would become the tree file.
  fsys::Entry entry;
  if (!fsys::Stat(fresh, entry) || entry.isSymlink || entry.isDirectory)
    return {};
  const fsys::Stamp tree = fsys::Peek(target), stopped = fsys::Peek(fresh);
  // (Two writes within one tick of the file system's clock get one time.)
  if (!stopped.exists || (tree.exists && stopped.mtimeNs < tree.mtimeNs))
    return {};
  std::string bytes, current;
  if (!fsys::ReadFile(fresh, bytes) || !bytes.ends_with("\r\n") ||
      (fsys::ReadFile(target, current) && current == bytes))
    return {};
  TIniFile ini;
  ini.Parse(bytes);
  const std::string root = ini.ReadString("Root", "FileName", "");
  if (!IsPlainFileName(root) || NamesTreeFile(root) ||
      !fsys::FileExists(ExtractFilePath(path) + root))
    return {};
  return fresh;
}

fsys::Status TProjectTree::FinishStoppedSave(std::string_view path) {
  const std::string fresh = StoppedSaveFile(path);
  if (fresh.empty())
    return fsys::Status{"rename", fsys::NewTreeName(path), ENOENT};
  const std::string target = fresh.substr(0, fresh.size() - fsys::NewTreeName("").size());
  if (fsys::FileExists(target))
    if (fsys::Status kept = KeepBackup(target, std::string(path) + ".ord"); !kept)
      return kept;
  return fsys::RenameFile(fresh, target);
}

fsys::Status TProjectTree::SaveTreeFile(std::string_view path, TreeOverwrite overwrite) {
  TIniFile ini;
  if (!BuildTreeFile(ini))
    return fsys::Status{"save", std::string(path), fsys::kEmptyTree};
  // A read-only tree file stays as it is; a link to a tree file elsewhere in
  // the project is written through, one leading out of the project never.
  std::string target;
  const std::string withinDir = ExtractFilePath(path);
  if (fsys::Status s = fsys::ResolveWriteTarget(path, withinDir, target); !s)
    return s;
  // 1. The new file, complete and flushed, beside the old one, with its mode
  //    and owner.
  const std::string fresh = NewFileName(target);
  const std::string previous = std::string(path) + ".ord";
  const bool watched = path == treeDiskPath_;
  fsys::Stamp written;
  fsys::WriteOptions options;
  options.withinDir = withinDir;
  options.modeFrom = target;
  options.seen = &written;
  if (fsys::Status s = fsys::WriteFile(fresh, ini.Serialize(), options); !s) {
    DropNewFile(fresh); // in place already when only its flush failed
    return s;
  }
  // What someone else wrote to the tree file since it was read here (a sync
  // client, another editor) is not replaced unasked; not even the backup is
  // touched.
  if (watched && overwrite == TreeOverwrite::IfUnchanged) {
    fsys::DiskChange change = fsys::CheckStamp(path, treeDisk_);
    if (change != fsys::DiskChange::None) {
      DropNewFile(fresh);
      return fsys::Status{"check", std::string(path),
                          change == fsys::DiskChange::Gone ? fsys::kGoneFromDisk
                                                           : fsys::kChangedOnDisk};
    }
  }
  if (!Continue(SaveStep::NewFileWritten))
    return Stopped(path);
  // 2. The old file also becomes the .ord backup; it stays the tree file
  //    until step 3 replaces it in one rename. The backup is replaced in one
  //    rename too (a link to the old file, or a crash-safe copy where links
  //    fail), so that at no moment is there none.
  if (fsys::FileExists(target)) {
    if (fsys::Status kept = KeepBackup(target, previous); !kept) {
      DropNewFile(fresh);
      return kept;
    }
  }
  if (!Continue(SaveStep::PreviousKept))
    return Stopped(path);
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
    DropNewFile(fresh);
    return renamed;
  }
  if (!Continue(SaveStep::Replaced))
    return Stopped(path);
  return {};
}
