#include "store/Recovery.h"

#include "store/Codec.h"
#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/Project.h"
#include "store/Threads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#include <unordered_map>

namespace recovery {
namespace {

constexpr std::string_view kMagic = "OrvaneRecovery 1\r\n";

std::string EnvPath(const char *name) {
  const char *v = std::getenv(name);
  std::string path;
  if (!v || v[0] != '/' || !fsys::FromNative(v, path))
    return {};
  return path;
}

std::string StateHome() {
  if (std::string state = EnvPath("XDG_STATE_HOME"); !state.empty())
    return AddPathSeparator(state);
  std::string home = EnvPath("HOME");
  if (home.empty())
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
      (void)fsys::FromNative(pw->pw_dir, home); // empty when CP932 cannot name it
  return home.empty() ? std::string() : AddPathSeparator(home) + ".local/state/";
}

std::string StampText(const fsys::Stamp &s) {
  char buffer[200];
  std::snprintf(buffer, sizeof buffer,
                "%d %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRId64 " %" PRId64 " %" PRIu64 " %d",
                s.known, s.exists, s.device, s.inode, s.size, s.mtimeNs, s.ctimeNs, s.hash, s.racy);
  return buffer;
}

bool ParseStamp(const std::string &text, fsys::Stamp &s) {
  int known = 0, exists = 0, racy = 0;
  if (std::sscanf(text.c_str(),
                  "%d %d %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNd64 " %" SCNd64 " %" SCNu64
                  " %d",
                  &known, &exists, &s.device, &s.inode, &s.size, &s.mtimeNs, &s.ctimeNs, &s.hash,
                  &racy) != 9)
    return false;
  s.known = known != 0;
  s.exists = exists != 0;
  s.racy = racy != 0;
  return true;
}

// A record: its key, the length of its bytes, a line break, the bytes, a
// line break. Lengths, not escapes: an item's text holds any byte.
void Record(std::string &out, std::string_view key, std::string_view bytes) {
  out += key;
  out += ' ';
  out += std::to_string(bytes.size());
  out += "\r\n";
  out += bytes;
  out += "\r\n";
}

bool NextRecord(std::string_view bytes, size_t &pos, std::string_view &key,
                std::string_view &value) {
  const size_t eol = bytes.find("\r\n", pos);
  if (eol == std::string_view::npos)
    return false;
  const std::string_view head = bytes.substr(pos, eol - pos);
  const size_t space = head.find(' ');
  if (space == std::string_view::npos)
    return false;
  key = head.substr(0, space);
  int64_t length = 0;
  if (!ParseInt64(head.substr(space + 1), length) || length < 0)
    return false;
  const size_t start = eol + 2, size = static_cast<size_t>(length);
  if (size > bytes.size() - start || bytes.size() - start - size < 2 ||
      bytes.substr(start + size, 2) != "\r\n")
    return false;
  value = bytes.substr(start, size);
  pos = start + size + 2;
  return true;
}

// The recovery folder and the folders above it; the folder itself private.
fsys::Status MakeRoot(std::string_view root) {
  const std::string folder = RemovePathSeparator(std::string(root));
  if (fsys::Status s = fsys::CreateDirectories(ExtractFilePath(folder)); !s)
    return s;
  return fsys::MakePrivateDirectory(fsys::ToNative(folder));
}

// A copy's own file names: live ones, and those set aside.
constexpr std::string_view kLive = ".rcv", kAside = ".aside";

std::string Folder(std::string_view root) { return RemovePathSeparator(std::string(root)); }

// The directory as its real path, so that a link, a relative path or a
// shortcut's spelling of it are one directory.
std::string RealDir(std::string_view dir) {
  std::string real;
  if (!fsys::RealPath(dir, real))
    real = std::string(dir);
  return AddPathSeparator(real);
}

std::string DirKey(std::string_view dir) {
  char key[20];
  std::snprintf(key, sizeof key, "%016" PRIx64, fsys::HashBytes(RealDir(dir)));
  return key;
}

// A name an item's file may have: one a load accepts, and none the program
// keeps for the tree file, its backup, its stopped save or a write under way.
bool ItemFileNameAllowed(std::string_view name) {
  return IsPlainFileName(name) && !TProject::IsReservedItemFileName(name);
}

bool Differs(std::string_view path, fsys::Stamp base) {
  return base.known && fsys::CheckStamp(path, base) != fsys::DiskChange::None;
}

} // namespace

std::string Entry::TreeBytes() const {
  return !Tree.empty() ? Tree : TreeDocument ? TreeDocument->Serialize() : std::string();
}

std::string DefaultRoot() {
  const std::string state = StateHome();
  return state.empty() ? std::string() : state + "kem/Orvane/recovery/";
}

fsys::Status CheckRoot(std::string_view root) {
  if (root.empty())
    return fsys::Status{"open", "recovery", ENOENT};
  uint64_t device = 0, inode = 0;
  if (!fsys::Identity(Folder(root), device, inode))
    return {}; // nothing there yet: no copies
  return fsys::MakePrivateDirectory(fsys::ToNative(Folder(root)));
}

std::string IdentityOf(std::string_view dir, std::string_view rootFileName) {
  if (!IsPlainFileName(rootFileName))
    return {};
  // The creation time as the root's file writes it: a file without one is
  // known by its name alone.
  std::string bytes, created;
  (void)fsys::ReadFile(AddPathSeparator(std::string(dir)) + std::string(rootFileName), bytes);
  for (const std::string &line : TNodeFiles::SplitLines(bytes.substr(0, bytes.find("\r\n\r\n")))) {
    if (line.size() > 13 &&
        TIniFile::SameName(std::string_view(line).substr(0, 13), "FirstEdition:"))
      created = line.substr(13);
  }
  return std::string(rootFileName) + "|" + created;
}

std::string IdentityOf(const TProject &project) {
  return project.Root() ? IdentityOf(project.Dir(), project.Tree().WindowData.RootFileName)
                        : std::string();
}

std::string IdentityOfDir(std::string_view dir) {
  std::string bytes;
  if (!fsys::ReadFile(TProject::TreeFilePath(dir), bytes))
    return {};
  TIniFile tree;
  tree.Parse(bytes);
  return IdentityOf(dir, tree.ReadString("Root", "FileName", ""));
}

std::string NewEntryPath(std::string_view root, std::string_view dir) {
  static std::atomic<unsigned> made{0};
  char name[96];
  std::snprintf(
      name, sizeof name, "%s-%x-%" PRIx64 "-%x%s", DirKey(dir).c_str(), unsigned(::getpid()),
      uint64_t(std::chrono::system_clock::now().time_since_epoch().count()), made++, kLive.data());
  return AddPathSeparator(std::string(root)) + name;
}

std::string Serialize(const Entry &e) {
  std::string out(kMagic);
  Record(out, "Dir", e.Dir);
  Record(out, "Identity", e.Identity);
  Record(out, "Made", e.Made);
  Record(out, "TreeBase", StampText(e.TreeBase));
  if (e.HasTree())
    Record(out, "Tree", e.TreeBytes());
  for (const Item &item : e.Items) {
    Record(out, "Item", item.ID);
    Record(out, "File", item.FileName);
    Record(out, "Base", StampText(item.Base));
    Record(out, "Text", item.Bytes);
  }
  Record(out, "End", "");
  return out;
}

bool Parse(std::string_view bytes, Entry &out) {
  out = Entry{};
  if (!bytes.starts_with(kMagic))
    return false;
  size_t pos = kMagic.size();
  std::string_view key, value;
  while (NextRecord(bytes, pos, key, value)) {
    const std::string text(value);
    if (key == "End") {
      out.found = pos == bytes.size();
      return out.found;
    }
    if (key == "Dir")
      out.Dir = text;
    else if (key == "Identity")
      out.Identity = text;
    else if (key == "Made")
      out.Made = text;
    else if (key == "TreeBase") {
      if (!ParseStamp(text, out.TreeBase))
        return false;
    } else if (key == "Tree")
      out.Tree = text;
    else if (key == "Item")
      out.Items.push_back(Item{text, {}, {}, {}});
    else if (out.Items.empty())
      return false; // an item's part before any item
    else if (key == "File")
      out.Items.back().FileName = text;
    else if (key == "Base") {
      if (!ParseStamp(text, out.Items.back().Base))
        return false;
    } else if (key == "Text")
      out.Items.back().Bytes = text;
    // Keys of a later version are passed over.
  }
  return false;
}

fsys::Status Write(std::string_view root, const Entry &entry) {
  if (root.empty() || entry.Path.empty())
    return fsys::Status{"write", "recovery", ENOENT};
  if (entry.Empty())
    return Remove(root, entry.Path);
  if (fsys::Status s = MakeRoot(root); !s)
    return s;
  fsys::WriteOptions options;
  options.ownerOnly = true;
  return fsys::WriteFile(entry.Path, Serialize(entry), options);
}

fsys::Status Read(std::string_view path, Entry &out) {
  out = Entry{};
  std::string bytes;
  if (fsys::Status s = fsys::ReadFile(path, bytes); !s)
    return s;
  const bool whole = Parse(bytes, out);
  out.Path = std::string(path);
  if (!whole)
    return fsys::Status{"read", std::string(path), EBADMSG};
  return {};
}

fsys::Status Remove(std::string_view root, std::string_view path) {
  if (fsys::Status s = CheckRoot(root); !s)
    return s;
  if (!fsys::Exists(path))
    return {};
  return fsys::DeleteFile(path);
}

fsys::Status List(std::string_view root, std::vector<Copy> &out, bool withSetAside) {
  out.clear();
  if (fsys::Status s = CheckRoot(root); !s)
    return s;
  if (!fsys::DirectoryExists(root))
    return {};
  std::vector<fsys::Entry> names;
  if (fsys::Status s = fsys::ListDirectory(root, names); !s)
    return s;
  for (const fsys::Entry &e : names) {
    const bool aside = e.name.ends_with(kAside);
    if (e.isDirectory || e.isSymlink || !(e.name.ends_with(kLive) || (withSetAside && aside)))
      continue;
    Copy copy;
    copy.setAside = aside;
    copy.status = Read(AddPathSeparator(std::string(root)) + e.name, copy.entry);
    copy.mtimeNs = fsys::Peek(copy.entry.Path).mtimeNs;
    out.push_back(std::move(copy));
  }
  std::sort(out.begin(), out.end(), [](const Copy &a, const Copy &b) {
    return a.mtimeNs != b.mtimeNs ? a.mtimeNs < b.mtimeNs : a.entry.Path < b.entry.Path;
  });
  return {};
}

bool BelongsTo(const Copy &copy, std::string_view dir, std::string_view identity) {
  const Entry &e = copy.entry;
  // A damaged copy cannot be trusted to say whose it is: its name tells the
  // directory it was made for.
  if (e.Dir.empty() || copy.damaged())
    return ExtractFileName(e.Path).starts_with(DirKey(dir));
  // Without a creation time (a root file no store has written yet) a name
  // is too weak to tell projects apart: the place decides.
  const bool weak = e.Identity.empty() || identity.empty() || e.Identity.ends_with('|') ||
                    identity.ends_with('|');
  // Identities first: a catalogue asks this of every row.
  if (!weak && e.Identity != identity)
    return false; // another project, perhaps of the same name in the same place
  const bool sameDir = RealDir(e.Dir) == RealDir(dir);
  // Moved: unless the old place still holds the same project (a copy of a
  // project's folder is not the project its copies were made for).
  return sameDir || (!weak && IdentityOfDir(e.Dir) != identity);
}

std::vector<Copy> CopiesOf(std::string_view root, std::string_view dir, std::string_view identity,
                           bool withSetAside) {
  std::vector<Copy> all, mine;
  (void)List(root, all, withSetAside); // an unusable folder holds no copies to offer
  for (Copy &c : all)
    if (BelongsTo(c, dir, identity))
      mine.push_back(std::move(c));
  return mine;
}

fsys::Status SetAside(std::string_view root, std::string_view path, std::string &kept) {
  if (fsys::Status s = CheckRoot(root); !s)
    return s;
  kept = std::string(path) + std::string(kAside);
  for (int n = 2; fsys::Exists(kept); ++n)
    kept = std::string(path) + "." + std::to_string(n) + std::string(kAside);
  return fsys::RenameFile(path, kept);
}

Summary Describe(const Entry &entry, std::string_view dir) {
  Summary s;
  s.items = entry.Items.size();
  s.tree = entry.HasTree();
  const std::string base = AddPathSeparator(std::string(dir));
  bool same = true;
  auto differsFromFile = [&](const std::string &path, std::string_view bytes) {
    std::string disk;
    return !fsys::ReadFile(path, disk) || disk != bytes;
  };
  if (s.tree) {
    const std::string path = TProject::TreeFilePath(dir);
    if (Differs(path, entry.TreeBase))
      s.changedOnDisk.push_back(TProject::kTreeFileName);
    same = !differsFromFile(path, entry.TreeBytes());
  }
  for (const Item &item : entry.Items) {
    if (!IsPlainFileName(item.FileName)) {
      same = false;
      continue;
    }
    const std::string path = base + item.FileName;
    if (Differs(path, item.Base))
      s.changedOnDisk.push_back(item.FileName);
    same = same && !differsFromFile(path, item.Bytes);
  }
  s.sameAsDisk = same;
  return s;
}

std::vector<std::string> NamedFiles(const Entry &entry) {
  std::vector<std::string> names;
  if (entry.HasTree()) {
    TIniFile tree;
    tree.Parse(entry.TreeBytes());
    tree.ForEachSection([&](const TIniFile::Section &section) {
      if (const std::string *name = tree.Find(&section, "FileName"))
        names.push_back(*name);
    });
  }
  for (const Item &item : entry.Items)
    names.push_back(item.FileName);
  return names;
}

Item ItemOf(const TProjectNode &node, std::string bytes) {
  const TNodeData &d = *node.Data();
  return Item{d.ID, d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath),
              std::move(bytes), d.Files.Disk};
}

Applied Apply(const Entry &entry, TProject &project, bool overDisk) {
  Applied applied;
  TProjectTree &tree = project.Tree();
  if (entry.HasTree()) {
    const std::string bytes = entry.TreeBytes();
    fsys::Stamp base = entry.TreeBase; // takes the new times when only they moved
    applied.treeChangedOnDisk = Differs(project.TreeFilePath(), base);
    if (applied.treeChangedOnDisk && overDisk) {
      std::string present;
      (void)fsys::ReadFile(project.TreeFilePath(), present, &base); // a save replaces this version
    }
    // A document without a root would leave no tree: the one on disk stays.
    TIniFile probe;
    probe.Parse(bytes);
    if (applied.treeChangedOnDisk && !overDisk) {
      // the newer tree file stays
    } else if (!probe.ReadString("Root", "FileName", "").empty() &&
               tree.LoadTreeBytes(bytes, base)) {
      applied.tree = true;
    } else {
      (void)project.Load(project.Dir()); // as before; its problems were told at the open
    }
  }
  std::unordered_map<std::string, TProjectNode *> byID;
  for (TProjectNode *n = tree.GetFirstNode(); n; n = n->GetNext())
    byID.emplace(n->Data()->ID, n);
  std::unordered_map<std::string, bool> taken; // one text for each item
  for (const Item &item : entry.Items) {
    auto refuse = [&](Applied::Why why) {
      applied.refused.push_back({item.ID, item.FileName, why});
    };
    if (!ItemFileNameAllowed(item.FileName)) {
      refuse(Applied::Why::BadName);
      continue;
    }
    auto found = byID.find(item.ID);
    if (found == byID.end()) {
      applied.notPlaced.push_back(item.ID);
      continue;
    }
    TProjectNode *node = found->second;
    TNodeData &d = *node->Data();
    const std::string own = d.Missing ? d.ListedFileName : ExtractFileName(d.Files.FilePath);
    if (cp932::LowerAscii(own) != cp932::LowerAscii(item.FileName)) {
      refuse(Applied::Why::OtherFile);
      continue;
    }
    if (taken[item.ID]) {
      refuse(Applied::Why::Twice);
      continue;
    }
    taken[item.ID] = true;
    const std::string path = d.Missing ? project.Dir() + own : d.Files.FilePath;
    fsys::Stamp base = item.Base;
    if (Differs(path, base)) {
      if (!overDisk) { // the newer file stays
        applied.changedOnDisk.push_back(item.FileName);
        continue;
      }
      std::string present;
      (void)fsys::ReadFile(path, present, &base); // a store replaces this version
    }
    TNodeFiles back;
    back.ParseHeader(item.Bytes);
    back.ParseBody(item.Bytes);
    d.Files.Assign(back);
    if (d.Missing || d.Files.FilePath.empty()) {
      d.Missing = false;
      d.Files.FilePath = project.Dir() + own;
    }
    d.Files.Disk = base;
    d.Unsaved = true;
    if (node->Text() != d.Files.Title)
      tree.SetText(node, d.Files.Title);
    applied.items.push_back(node);
  }
  if (applied.tree)
    project.SetModified(true);
  return applied;
}
fsys::Status WriteApplied(TProject &project, Applied &applied) {
  fsys::Status first;
  std::vector<TProjectNode *> left;
  for (TProjectNode *node : applied.items) {
    if (fsys::Status s = node->Data()->Files.Save(); !s) {
      left.push_back(node);
      if (first)
        first = s;
      continue;
    }
    node->Data()->Unsaved = false;
  }
  applied.items = left;
  if (applied.tree && left.empty()) {
    if (fsys::Status s = project.Save(); !s && first)
      first = s;
    else if (s)
      applied.tree = false;
  }
  return first;
}

fsys::Status DropItems(std::string_view root, std::string_view path,
                       const std::vector<std::string> &written) {
  Entry e;
  if (fsys::Status s = Read(path, e); !s)
    return s; // a damaged copy is left as it is
  const size_t before = e.Items.size();
  std::erase_if(e.Items, [&](const Item &item) {
    return std::find(written.begin(), written.end(), item.FileName) != written.end();
  });
  return e.Items.size() == before ? fsys::Status{} : Write(root, e);
}

fsys::Status MakeProject(const Entry &entry, std::string_view dir, const std::string &title,
                         const std::string &author) {
  TProject project;
  if (fsys::Status s = project.CreateFirstTree(dir, title, author); !s)
    return s;
  TProjectNode *first = project.Root()->GetFirstChild(); // "新しいアイテム" until the first text
  for (const Item &item : entry.Items) {
    TNodeFiles back;
    back.ParseHeader(item.Bytes);
    back.ParseBody(item.Bytes);
    TProjectNode *node = first ? first : project.Tree().AddChild(project.Root(), back.Title);
    if (!first)
      project.InitItem(*node->Data());
    first = nullptr;
    node->Data()->Files.Assign(back);
    project.Tree().SetText(node, back.Title);
    if (fsys::Status s = node->Data()->Files.Save(); !s)
      return s;
  }
  return project.Save();
}

// ---- the writer's thread ---------------------------------------------------

TWriter::TWriter(std::string root, std::function<void(const fsys::Status &)> failed)
    : root_(std::move(root)), failed_(std::move(failed)) {
  inline_ = !threads::TryStart(thread_, [this](std::stop_token stop) { Run(stop); });
}

TWriter::~TWriter() {
  thread_.request_stop();
  if (thread_.joinable())
    thread_.join();
}

void TWriter::Post(Entry entry) {
  if (inline_) {
    fsys::Status written = Write(root_, entry);
    if (!written && last_ && failed_)
      failed_(written);
    last_ = std::move(written);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    pending_ = std::move(entry);
  }
  wake_.notify_all();
}

fsys::Status TWriter::Flush() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !pending_ && !busy_; });
  return last_;
}

void TWriter::Run(std::stop_token stop) {
  // Below the window's thread: on a busy machine typing goes first.
  (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
  std::unique_lock lock(mutex_);
  for (;;) {
    // Woken by a post, or by the stop once what was posted is written.
    if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); }))
      return;
    Entry entry = std::move(*pending_);
    pending_.reset();
    busy_ = true;
    lock.unlock();
    fsys::Status written = Write(root_, entry);
    entry = Entry{}; // its tree may be big: freed here, not under the lock
    // Told once: a full disk fails every few seconds until it is not full.
    if (!written && last_ && failed_)
      failed_(written);
    lock.lock();
    busy_ = false;
    last_ = std::move(written);
    idle_.notify_all();
  }
}

} // namespace recovery
