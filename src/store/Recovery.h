#pragma once
// The recovery copy of an open project: what its files do not hold yet (the
// unsaved tree in its MainTree.dat form, the items whose edits no file has),
// kept in a per-user folder outside every project so that a kill or a power
// cut loses at most the last seconds of typing. One entry per project
// directory, one file each, replaced crash-safely: a reader finds the old
// entry or the new one, never a mix.
//
//   recovery::Entry e = ...;                    // a snapshot of the editor
//   recovery::TWriter writer(recovery::DefaultRoot());
//   writer.Post(e);                             // written on the writer's thread
//   ...
//   recovery::Entry back;
//   if (recovery::Read(root, dir, back) && back.found) ...;
//
// Paths are CP932, like every path in the core.
#include "store/FileSystem.h"

#include <condition_variable>
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
  bool found = false; // Read: an entry was there
  std::string Dir;    // the project directory, with its separator
  std::string Made;   // "yyyy/mm/dd hh:nn:ss"
  // The tree's MainTree.dat form; empty when the tree has no unsaved change.
  std::string Tree;
  // The same not yet serialised (made on the editor's thread, serialised on
  // the writer's); used when Tree is empty.
  std::shared_ptr<const TIniFile> TreeDocument;
  fsys::Stamp TreeBase; // MainTree.dat as the editor last read or wrote it
  std::vector<Item> Items;

  bool HasTree() const { return !Tree.empty() || TreeDocument; }
  bool Empty() const { return !HasTree() && Items.empty(); }
};

// $XDG_STATE_HOME/kem/Orvane/recovery/ (default ~/.local/state), with its
// separator; empty when no such path can be named.
std::string DefaultRoot();
// The entry file of the project directory `dir` under `root`.
std::string EntryPath(std::string_view root, std::string_view dir);
bool HasEntry(std::string_view root, std::string_view dir);

std::string Serialize(const Entry &entry);
// False for bytes that are no whole entry.
bool Parse(std::string_view bytes, Entry &out);

// Writes the entry, crash-safe, making `root` a private folder (0700) when
// missing; the file is the user's alone (0600). An empty entry removes the
// file instead.
fsys::Status Write(std::string_view root, const Entry &entry);
// The entry of `dir`; `out.found` false (and success) when there is none.
// An entry file that cannot be parsed is a failure (EBADMSG), kept as it is.
fsys::Status Read(std::string_view root, std::string_view dir, Entry &out);
fsys::Status Remove(std::string_view root, std::string_view dir);

// The item files the entry's tree and items name (bare names): a cleanup
// keeps them for the restore.
std::vector<std::string> NamedFiles(const Entry &entry);

// The snapshot's item record of `node`, its file's text being `bytes`.
Item ItemOf(const TProjectNode &node, std::string bytes);

// What putting an entry back into a loaded project did.
struct Applied {
  bool tree = false;                      // the recovered tree replaced the loaded one
  std::vector<TProjectNode *> items;      // items holding recovered edits (Unsaved)
  std::vector<std::string> notPlaced;     // IDs of recovered items the tree lacks
  std::vector<std::string> changedOnDisk; // file names changed since the entry was made
  bool treeChangedOnDisk = false;
};
// Puts the entry into `project` (loaded from entry.Dir) in memory: the
// recovered tree, then each item's recovered header and text, marked
// Unsaved with the file's version from the entry's time, so that a store
// asks before replacing a file written elsewhere since. Writes nothing.
Applied Apply(const Entry &entry, TProject &project);

// Writes what Apply put back: every recovered item whose file is still as the
// entry found it, then the tree when its file is too. Items and a tree
// changed on disk since stay unwritten (listed in `applied`); the first
// failure otherwise.
fsys::Status WriteApplied(TProject &project, Applied &applied);

// Writes entries one at a time on a thread of its own, so that a write
// never holds up the caller. A posted entry replaces one not yet begun.
class TWriter {
public:
  explicit TWriter(std::string root);
  ~TWriter(); // writes what is still posted
  TWriter(const TWriter &) = delete;
  TWriter &operator=(const TWriter &) = delete;

  const std::string &Root() const { return root_; }
  // An empty entry removes the project's entry.
  void Post(Entry entry);
  // Waits until everything posted is on disk; the result of the last write.
  fsys::Status Flush();

private:
  void Run(std::stop_token stop);

  std::string root_;
  std::mutex mutex_;
  std::condition_variable_any wake_, idle_;
  std::optional<Entry> pending_;
  bool busy_ = false;
  fsys::Status last_;
  std::jthread thread_;
};

} // namespace recovery
