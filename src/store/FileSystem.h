#pragma once
// The one gateway between the program and the OS file API. Paths are CP932
// bytes, like every other text in the core; they become the OS's UTF-8 file
// names here and nowhere else. No other module calls the OS file API.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fsys {

struct Entry {
  std::string name;  // CP932, no directory part
  uint64_t size = 0; // bytes (64-bit: files over 4 GB show their real size)
  int64_t mtime = 0; // last write, seconds since the epoch
  bool isDirectory = false;
  bool isSymlink = false; // the entry itself is a symbolic link
  bool isHidden = false;  // name starts with '.'
  bool isReadOnly = false;
  // The entry itself (a link, not what it leads to): which file it is.
  uint64_t device = 0;
  uint64_t inode = 0;
};

// What every operation here that can fail returns: success, or what failed.
// `op` is "open", "read", "write", "rename", ... (for logs and tests),
// `path` the path as the caller named it (CP932; the target, never a
// temporary file), `code` the errno or one of the program's own codes below
// (kLinkLeavesFolder, kChangedOnDisk, ...; 0 is success).
// ui::FileErrorText turns a failure into the user's message. A result is
// never dropped unread: where a failure changes nothing for the caller, the
// call says why in a comment and casts it to void.
struct [[nodiscard]] Status {
  std::string op;
  std::string path;
  int code = 0;

  bool ok() const { return code == 0; }
  explicit operator bool() const { return ok(); }
  // One line (op, OS path, OS reason) for logs and terminals.
  std::string Text() const;
};
// A failure kept for later (an operation's report).
using Failure = Status;

bool Exists(std::string_view path);             // anything, following links
bool FileExists(std::string_view path);         // a regular file (following links)
bool DirectoryExists(std::string_view path);    // a directory (following links)
Status Stat(std::string_view path, Entry &out); // follows links; name = last part

// What a file was when the program last read or wrote it, to tell later
// whether something else has written it since (a sync client, another
// editor, a second machine). Size, times and inode decide when they differ;
// the bytes' hash decides when they do not (a change within the file
// system's clock resolution, or a touch that changed no byte).
struct Stamp {
  bool known = false;  // recorded: a later write compares against it
  bool exists = false; // false: the file was not there
  // Recorded within the clock resolution of the file's last change: equal
  // times prove nothing, so a check compares the bytes. (The flags stand
  // together: every item keeps a stamp.)
  bool racy = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  uint64_t hash = 0;
};

// A stamp saying that nothing is at a path (a new file about to be written).
Stamp AbsentStamp();
// The hash a stamp keeps of a file's bytes.
uint64_t HashBytes(std::string_view bytes);

enum class DiskChange {
  None,    // the disk holds what the stamp recorded (or nothing was recorded)
  Changed, // other bytes, or a file where there was none
  Gone,    // the file was there and is not any more
};
// Compares the file at `path` with `stamp`. When only its times or inode
// moved and its bytes are the same, the stamp takes the new times (no false
// alarm next time, no reread).
DiskChange CheckStamp(std::string_view path, Stamp &stamp);

// The file's metadata now, without its bytes' hash (an absent stamp when
// nothing is there): to tell one version on disk from the next.
Stamp Peek(std::string_view path);
bool SameVersion(const Stamp &a, const Stamp &b); // metadata equal

// A directory kept open to read files in it by name: the directory's path is
// looked up once, not once for every file.
class Directory {
public:
  Directory() = default;
  ~Directory();
  Directory(const Directory &) = delete;
  Directory &operator=(const Directory &) = delete;
  Status Open(std::string_view path);
  // As fsys::ReadFile of the directory's path + `name`.
  Status ReadFile(std::string_view name, std::string &out, Stamp *seen = nullptr) const;
  // As fsys::WriteFile of the directory's path + `name`. A new file is made
  // nameless in the directory and named once complete, both relative to it;
  // a name taken already goes the way of fsys::WriteFile (replaced, keeping
  // its mode). For commands that write thousands of new files (a frame set).
  Status WriteFile(std::string_view name, std::string_view data) const;

private:
  int fd_ = -1;
  std::string path_;
  std::string native_; // path_ in the OS form, without the last '/'
};

// After a rename of the file `stamp` records to `path`: takes the new change
// time when `path` still is that file (same inode, size and modification
// time), else leaves `stamp` as it is; whether it was that file.
bool Restamp(std::string_view path, Stamp &stamp);

// Not errnos: a write refused because the file changed on disk since its
// stamp, or went (WriteOptions::expect).
constexpr int kChangedOnDisk = 100002;
constexpr int kGoneFromDisk = 100003;
// Not errnos either: refusals that touch no file. A tree save without a
// project directory, or of a tree without a root item (a tree file without
// one would lose the project); a save a test stopped half way.
constexpr int kNoProjectDirectory = 100004;
constexpr int kEmptyTree = 100005;
constexpr int kStoppedForTest = 100006;
// MakePrivateDirectory's refusals: a link or a file where the directory
// should be, a directory of another user, one that others may use (its
// `op` names the mode found).
constexpr int kNotADirectoryOfItsOwn = 100007;
constexpr int kOwnedByAnotherUser = 100008;
constexpr int kOpenToOthers = 100009;

// Reads the whole file; `out` is empty when it cannot be read. `seen`, when
// given, records the file as read.
Status ReadFile(std::string_view path, std::string &out, Stamp *seen = nullptr);

// Not an errno: the refusal of a write through a symbolic link that leads out
// of the folder the file must stay in (WriteOptions::withinDir).
constexpr int kLinkLeavesFolder = 100001;

struct WriteOptions {
  // When set, the file written (after following a symbolic link at the path)
  // must lie in this directory or below it; a link leading elsewhere is
  // refused with kLinkLeavesFolder. Project files use it: a project copied
  // from elsewhere must not make the program write into other files.
  std::string_view withinDir;
  // When set and nothing is at the path yet, the new file takes the mode and
  // owner of this file (a file written beside the one it will replace).
  std::string_view modeFrom;
  // When set and known, the write is refused (kChangedOnDisk, kGoneFromDisk)
  // unless the target still is what it records, checked just before the new
  // file takes the target's place.
  const Stamp *expect = nullptr;
  // When set, records the file as written (after a successful write).
  Stamp *seen = nullptr;
  // The new file is readable by its owner only (0600), whatever it replaces.
  bool ownerOnly = false;
};

// The file a write of `path` replaces: `path` itself, or the file a symbolic
// link there leads to (resolved, so the write is atomic in that file's own
// directory). A failure when such a write is
// refused: a directory (EISDIR); a file without owner-write permission
// (EACCES, for root too: the mode bits decide, not access(2)); a link that
// leads nowhere (ENOENT) or out of `withinDir` (kLinkLeavesFolder).
Status ResolveWriteTarget(std::string_view path, std::string_view withinDir, std::string &out);

// A regular file read piece by piece, for files too big to hold at once (an
// exchange file being imported). Closed when it goes.
class FileReader {
public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader &) = delete;
  FileReader &operator=(const FileReader &) = delete;

  // Only regular files open (a FIFO in the way cannot hang the program).
  Status Open(std::string_view path);
  // Up to `size` bytes into `buffer`; `got` is 0 at the end of the file.
  Status Read(char *buffer, size_t size, size_t &got);
  void Close();

private:
  int fd_ = -1;
  std::string path_;
};

// Crash-safe write: a temporary file beside the target, flushed to disk, then
// renamed over the target. On failure the previous file is untouched. The
// target is what ResolveWriteTarget gives and is refused as it says; the new
// file keeps the replaced file's mode and owner (the owner where the OS lets
// the program set it).
Status WriteFile(std::string_view path, std::string_view data, const WriteOptions &options = {});

// The same write piece by piece, for output too big to hold at once (an
// export of a whole project): nothing appears under the target's name until
// Commit, and a writer that goes uncommitted leaves nothing behind.
class AtomicWriter {
public:
  AtomicWriter() = default;
  ~AtomicWriter();
  AtomicWriter(const AtomicWriter &) = delete;
  AtomicWriter &operator=(const AtomicWriter &) = delete;

  // Refuses the target as ResolveWriteTarget does; creates the temporary file.
  Status Open(std::string_view path, const WriteOptions &options = {});
  bool IsOpen() const { return fd_ >= 0; }
  Status Append(std::string_view data);
  // Flushes, renames over the target and closes; the writer is done either way.
  // `seen` (no hash) records the file written.
  Status Commit(Stamp *seen = nullptr);
  // Drops the temporary file; the target stays as it was.
  void Abandon();

private:
  int fd_ = -1;
  std::string path_; // as the caller named it
  std::string native_, tmp_;
  bool unnamed_ = false; // written as a nameless file (O_TMPFILE)
  bool replace_ = false; // a file is at the target
  const Stamp *expect_ = nullptr;
};

// While one of these lives, writes on this thread skip their per-file flush;
// the file systems they touched are flushed once when it ends. For commands
// that write thousands of new files at once (import, copy of a subtree).
class BatchWrites {
public:
  BatchWrites();
  ~BatchWrites();
  BatchWrites(const BatchWrites &) = delete;
  BatchWrites &operator=(const BatchWrites &) = delete;
  // Ends the batch now: the flush's failure (an I/O error the disk reports
  // only then), so that the command can report it. The destructor ends it
  // too, unreported.
  Status Finish();

private:
  bool finished_ = false;
};

Status RenameFile(std::string_view from, std::string_view to); // replaces `to`
Status DeleteFile(std::string_view path); // a file or a symbolic link, never a directory
// Crash-safe; `to` is written as WriteFile writes its path.
Status CopyFile(std::string_view from, std::string_view to, bool failIfExists,
                const WriteOptions &options = {});
Status HardLink(std::string_view existing, std::string_view link);
Status CreateDirectories(std::string_view path);
Status RemoveDirectory(std::string_view path); // only an empty one
// Deletes every file and symbolic link directly in `dir` (never a
// subdirectory, nor what a link leads to) in one pass, each by its name in
// the directory held open. `progress`, when set, is told after each entry
// with the count done and the total. Goes on past an entry that cannot be
// deleted; the result is the first such failure, `notDeleted` their count.
Status DeleteFilesIn(std::string_view dir,
                     const std::function<void(size_t done, size_t total)> &progress = {},
                     size_t *notDeleted = nullptr);
bool SameFile(std::string_view a, std::string_view b); // same inode
// The absolute path of what `path` names, every link, "." and ".." resolved;
// false when nothing is there (or CP932 cannot hold the result).
bool RealPath(std::string_view path, std::string &out);
// Which file `path` names, the last part not followed when it is a link:
// two spellings of one file ("./a", a path through a linked directory) give
// the same pair. False when nothing is there.
bool Identity(std::string_view path, uint64_t &device, uint64_t &inode);

// Lists the entries of a directory (without "." and ".."), in the OS's order.
// Names that cannot be expressed in CP932 are skipped: nothing can name them.
// A folder that cannot be read to its end is a failure, with nothing listed.
Status ListDirectory(std::string_view dir, std::vector<Entry> &out);

// Makes sure `nativeDir` is a directory only this user can use, creating it
// (mode 0700) when missing: a real directory, not a link, owned by this user,
// mode exactly 0700. The path is in the OS form: it names a place of the
// program's own (the single-instance socket's), never a path of the user's
// texts; the failure's `path` is its CP932 form where CP932 holds it.
Status MakePrivateDirectory(const std::string &nativeDir);

// The OS (UTF-8) form of a CP932 path, for the Qt layer's own file widgets.
std::string ToNative(std::string_view path);
// The CP932 form of an OS path; false when CP932 cannot hold it.
bool FromNative(std::string_view native, std::string &out);

} // namespace fsys
