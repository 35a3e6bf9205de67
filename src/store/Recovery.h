#pragma once
// The recovery copy of an open project: what its files do not hold yet (the
// unsaved tree in its MainTree.dat form, the items whose edits no file has),
// kept in a per-user folder outside every project so that a kill or a power
// cut loses at most the last seconds of typing. Every editor window writes a
// copy of its own, replaced crash-safely (a reader finds the old copy or the
// new one, never a mix), so a copy left for later is never overwritten by the
// next run. A copy records who its project is (the root item's file and
// creation time): a moved or renamed project still finds it, and a new
// project in the old place does not.
//
//   recovery::Entry e = ...;                    // a snapshot of the editor
//   e.Path = recovery::NewEntryPath(root, dir); // this window's copy
//   recovery::TWriter writer(root);
//   writer.Post(e);                             // written on the writer's thread
//   ...
//   for (recovery::Copy &c : recovery::CopiesOf(root, dir, IdentityOfDir(dir))) ...
//
// Paths are CP932, like every path in the core.
#include "store/FileSystem.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TIniFile;
class TProject;
class TProjectNode;

namespace recovery {

// One item whose edits its file does not hold.
struct Item {
  std::string ID;
  std::string FileName; // in the project directory
  std::string Bytes;    // the item file as it would be written
  // The file as the editor last read or wrote it: a file that differs now
  // was changed elsewhere since, and is not replaced unasked.
  fsys::Stamp Base;
};

struct Entry {
  bool found = false;   // Read: an entry was there
  std::string Path;     // the copy's own file (Write's target, Read's source)
  std::string Dir;      // the project directory, with its separator
  std::string Identity; // who the project is; empty in copies of older versions
  std::string Made;     // "yyyy/mm/dd hh:nn:ss"
  // The tree's MainTree.dat form; empty when the tree has no unsaved change.
  std::string Tree;
  // The same not yet serialised (made on the editor's thread, serialised on
  // the writer's); used when Tree is empty.
  std::shared_ptr<const TIniFile> TreeDocument;
  fsys::Stamp TreeBase; // MainTree.dat as the editor last read or wrote it
  std::vector<Item> Items;

  bool HasTree() const { return !Tree.empty() || TreeDocument; }
  bool Empty() const { return !HasTree() && Items.empty(); }
  std::string TreeBytes() const;
};

// $XDG_STATE_HOME/kem/Orvane/recovery/ (default ~/.local/state), with its
// separator; empty when no such path can be named.
std::string DefaultRoot();
// The folder may hold copies: missing, or a real directory of this user's
// alone. A link or a folder open to others is refused for reading, writing
// and deleting alike (the user's texts are not put where others choose).
fsys::Status CheckRoot(std::string_view root);

// Who a project is: its root item's file name and creation time.
std::string IdentityOf(std::string_view dir, std::string_view rootFileName);
std::string IdentityOf(const TProject &project);
// The same read from the directory's files (empty when they cannot be read).
std::string IdentityOfDir(std::string_view dir);

// A new copy's file for a window of the project directory `dir`: unique to
// this run and window, named after the directory so that even a copy too
// damaged to name its project is found.
std::string NewEntryPath(std::string_view root, std::string_view dir);

std::string Serialize(const Entry &entry);
// False for bytes that are no whole entry; what came before the damage is
// left in `out` (its directory and identity, to tell whose it was).
bool Parse(std::string_view bytes, Entry &out);

// Writes the entry to entry.Path, crash-safe, making `root` a private folder
// (0700) when missing; the file is the user's alone (0600). An empty entry
// removes the file instead.
fsys::Status Write(std::string_view root, const Entry &entry);
fsys::Status Read(std::string_view path, Entry &out); // EBADMSG: damaged
fsys::Status Remove(std::string_view root, std::string_view path);

// One copy in the folder: read whole, or damaged (set aside ones included).
struct Copy {
  Entry entry;         // entry.Path names the file
  fsys::Status status; // failure: it could not be read or parsed
  bool setAside = false;
  int64_t mtimeNs = 0; // when it was written
  bool damaged() const { return !status.ok(); }
};
// Every copy in `root`, oldest first; set-aside ones only when asked.
fsys::Status List(std::string_view root, std::vector<Copy> &out, bool withSetAside = false);
// Whether `copy` belongs to the project in `dir` whose identity is
// `identity`: same identity (in the old place, or moved when nothing of that
// identity is left in the old place); a copy without one by its directory.
bool BelongsTo(const Copy &copy, std::string_view dir, std::string_view identity);
// The copies of a project, oldest first (damaged ones included).
std::vector<Copy> CopiesOf(std::string_view root, std::string_view dir, std::string_view identity,
                           bool withSetAside = false);
// Renames a copy that is not to be offered again (damaged, or holding what a
// restore refused) so that nothing deletes it unasked; `kept` its new path.
fsys::Status SetAside(std::string_view root, std::string_view path, std::string &kept);

// What a copy holds, measured against the project's files now.
struct Summary {
  size_t items = 0;                       // items' texts
  bool tree = false;                      // an unsaved tree
  std::vector<std::string> changedOnDisk; // file names written since the copy was made
  bool sameAsDisk = false;                // holds nothing the files lack
};
Summary Describe(const Entry &entry, std::string_view dir);

// The item files the entry's tree and items name (bare names): a cleanup
// keeps them for the restore.
std::vector<std::string> NamedFiles(const Entry &entry);

// The snapshot's item record of `node`, its file's text being `bytes`.
Item ItemOf(const TProjectNode &node, std::string bytes);

// What putting an entry back into a loaded project did.
struct Applied {
  bool tree = false;                  // the recovered tree replaced the loaded one
  std::vector<TProjectNode *> items;  // items holding recovered edits (Unsaved)
  std::vector<std::string> notPlaced; // IDs of recovered items the tree lacks
  // Items of the copy not put back, and why.
  enum class Why { BadName, OtherFile, Twice };
  struct Refused {
    std::string ID, FileName;
    Why why;
  };
  std::vector<Refused> refused;
  std::vector<std::string> changedOnDisk; // file names changed since the entry was made
  bool treeChangedOnDisk = false;
};
// Puts the entry into `project` (loaded from its directory) in memory: the
// recovered tree, then each item's recovered header and text, marked Unsaved.
// An item's text goes only to the item whose ID and file it names, the file
// one a load accepts; the rest is refused. What changed on disk since the
// copy was made is left as the file has it (listed), unless `overDisk` (the
// user chose the copy after being told): then the copy's version replaces
// it at the next store without a question. Writes nothing.
Applied Apply(const Entry &entry, TProject &project, bool overDisk = false);

// Writes what Apply put back: every recovered item, then the tree when every
// item was written; the first failure.
fsys::Status WriteApplied(TProject &project, Applied &applied);

// Drops from the copy at `path` the items whose files `written` says were
// written by a newer save (their file names): what they held is older than
// the files. The copy goes when nothing is left in it.
fsys::Status DropItems(std::string_view root, std::string_view path,
                       const std::vector<std::string> &written);

// A new project in the existing directory `dir` from a copy whose project is
// gone: the root titled `title`, below it one item for each item's text in
// the copy, in its order. The copy stays for the caller to remove.
fsys::Status MakeProject(const Entry &entry, std::string_view dir, const std::string &title,
                         const std::string &author);

// Writes entries one at a time on a thread of its own, so that a write
// never holds up the caller. A posted entry replaces one not yet begun.
// Without a thread to be had, a post writes before it returns.
class TWriter {
public:
  // `failed` hears of a failed write, on the writer's thread, once until a
  // write succeeds again.
  explicit TWriter(std::string root, std::function<void(const fsys::Status &)> failed = {});
  ~TWriter(); // writes what is still posted
  TWriter(const TWriter &) = delete;
  TWriter &operator=(const TWriter &) = delete;

  const std::string &Root() const { return root_; }
  // An empty entry removes entry.Path.
  void Post(Entry entry);
  // Waits until everything posted is on disk; the result of the last write.
  fsys::Status Flush();

private:
  void Run(std::stop_token stop);

  std::string root_;
  std::function<void(const fsys::Status &)> failed_;
  std::mutex mutex_;
  std::condition_variable_any wake_, idle_;
  std::optional<Entry> pending_;
  bool busy_ = false;
  bool inline_ = false; // no thread could be had: Post writes at once
  fsys::Status last_;
  std::jthread thread_;
};

} // namespace recovery
