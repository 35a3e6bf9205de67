#include "store/Recovery.h"

#include "store/IniFile.h"
#include "store/LibUnit.h"
#include "store/Project.h"

#include <cerrno>
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

} // namespace

std::string DefaultRoot() {
  const std::string state = StateHome();
  return state.empty() ? std::string() : state + "kem/Orvane/recovery/";
}

std::string EntryPath(std::string_view root, std::string_view dir) {
  // Named after the directory's real path: another spelling of it (a link,
  // a relative path, a shortcut's) finds the same entry.
  std::string key;
  if (!fsys::RealPath(dir, key))
    key = std::string(dir);
  char name[32];
  std::snprintf(name, sizeof name, "%016" PRIx64 ".rcv", fsys::HashBytes(AddPathSeparator(key)));
  return AddPathSeparator(std::string(root)) + name;
}

bool HasEntry(std::string_view root, std::string_view dir) {
  return !root.empty() && fsys::FileExists(EntryPath(root, dir));
}

std::string Serialize(const Entry &e) {
  std::string out(kMagic);
  Record(out, "Dir", e.Dir);
  Record(out, "Made", e.Made);
  Record(out, "TreeBase", StampText(e.TreeBase));
  if (!e.Tree.empty())
    Record(out, "Tree", e.Tree);
  else if (e.TreeDocument)
    Record(out, "Tree", e.TreeDocument->Serialize());
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
  if (root.empty())
    return fsys::Status{"write", "recovery", ENOENT};
  if (entry.Empty())
    return Remove(root, entry.Dir);
  if (fsys::Status s = MakeRoot(root); !s)
    return s;
  fsys::WriteOptions options;
  options.ownerOnly = true;
  return fsys::WriteFile(EntryPath(root, entry.Dir), Serialize(entry), options);
}

fsys::Status Read(std::string_view root, std::string_view dir, Entry &out) {
  out = Entry{};
  if (root.empty())
    return {};
  const std::string path = EntryPath(root, dir);
  if (!fsys::Exists(path))
    return {};
  std::string bytes;
  if (fsys::Status s = fsys::ReadFile(path, bytes); !s)
    return s;
  if (!Parse(bytes, out)) {
    out = Entry{};
    return fsys::Status{"read", path, EBADMSG};
  }
  return {};
}

fsys::Status Remove(std::string_view root, std::string_view dir) {
  if (root.empty())
    return {};
  const std::string path = EntryPath(root, dir);
  if (!fsys::Exists(path))
    return {};
  return fsys::DeleteFile(path);
}

std::vector<std::string> NamedFiles(const Entry &entry) {
  std::vector<std::string> names;
  if (entry.HasTree()) {
    TIniFile tree;
    tree.Parse(entry.Tree.empty() ? entry.TreeDocument->Serialize() : entry.Tree);
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

Applied Apply(const Entry &entry, TProject &project) {
  Applied applied;
  TProjectTree &tree = project.Tree();
  if (entry.HasTree()) {
    const std::string bytes = entry.Tree.empty() ? entry.TreeDocument->Serialize() : entry.Tree;
    fsys::Stamp base = entry.TreeBase; // takes the new times when only they moved
    applied.treeChangedOnDisk =
        base.known && fsys::CheckStamp(project.TreeFilePath(), base) != fsys::DiskChange::None;
    // A document without a root would leave no tree: the one on disk stays.
    TIniFile probe;
    probe.Parse(bytes);
    if (!probe.ReadString("Root", "FileName", "").empty() && tree.LoadTreeBytes(bytes, base)) {
      applied.tree = true;
    } else {
      (void)project.Load(project.Dir()); // as before; its problems were told at the open
    }
  }
  std::unordered_map<std::string, TProjectNode *> byID;
  for (TProjectNode *n = tree.GetFirstNode(); n; n = n->GetNext())
    byID.emplace(n->Data()->ID, n);
  for (const Item &item : entry.Items) {
    auto found = byID.find(item.ID);
    if (found == byID.end()) {
      applied.notPlaced.push_back(item.ID);
      continue;
    }
    TProjectNode *node = found->second;
    TNodeData &d = *node->Data();
    TNodeFiles back;
    back.ParseHeader(item.Bytes);
    back.ParseBody(item.Bytes);
    d.Files.Assign(back);
    if (d.Missing || d.Files.FilePath.empty()) {
      d.Missing = false;
      d.Files.FilePath = project.Dir() + item.FileName;
    }
    fsys::Stamp base = item.Base;
    if (base.known && fsys::CheckStamp(d.Files.FilePath, base) != fsys::DiskChange::None)
      applied.changedOnDisk.push_back(item.FileName);
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
    TNodeData &d = *node->Data();
    const std::string name = ExtractFileName(d.Files.FilePath);
    bool changed = false;
    for (const std::string &c : applied.changedOnDisk)
      changed = changed || c == name;
    if (changed) {
      left.push_back(node);
      continue;
    }
    if (fsys::Status s = d.Files.Save(); !s) {
      left.push_back(node);
      if (first)
        first = s;
      continue;
    }
    d.Unsaved = false;
  }
  applied.items = left;
  if (applied.tree && !applied.treeChangedOnDisk && left.empty()) {
    if (fsys::Status s = project.Save(); !s && first)
      first = s;
    else if (s)
      applied.tree = false;
  }
  return first;
}

// ---- the writer's thread ---------------------------------------------------

TWriter::TWriter(std::string root)
    : root_(std::move(root)), thread_([this](std::stop_token stop) { Run(stop); }) {}

TWriter::~TWriter() {
  thread_.request_stop();
  if (thread_.joinable())
    thread_.join();
}

void TWriter::Post(Entry entry) {
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
    lock.lock();
    busy_ = false;
    last_ = std::move(written);
    idle_.notify_all();
  }
}

} // namespace recovery
