#include "store/FileSystem.h"

#include "store/Codec.h"
#include "store/FaultInjection.h"
#include "store/Leftovers.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#define XXH_INLINE_ALL // header only: no library to ship
#include <xxhash.h>

namespace fsys {
namespace {

thread_local int g_batchDepth = 0;
thread_local std::vector<std::string> g_batchDirs; // one directory per file system is enough

bool Batching() { return g_batchDepth > 0; }

// The OS calls that change or flush the disk, each past the fault switch.
using fault::Call;
bool Refused(Call call) {
  if (int err = fault::Check(call)) {
    errno = err;
    return true;
  }
  return false;
}
int SysOpen(const char *path, int flags, mode_t mode = 0) {
  return Refused(Call::Open) ? -1 : ::open(path, flags, mode);
}
ssize_t SysWrite(int fd, const void *data, size_t size) {
  return Refused(Call::Write) ? -1 : ::write(fd, data, size);
}
int SysFsync(int fd) { return Refused(Call::Sync) ? -1 : ::fsync(fd); }
int SysSyncfs(int fd) { return Refused(Call::Sync) ? -1 : ::syncfs(fd); }
int SysRename(const char *from, const char *to) {
  return Refused(Call::Rename) ? -1 : ::rename(from, to);
}
int SysLinkat(const char *from, const char *to, int flags) {
  return Refused(Call::Link) ? -1 : ::linkat(AT_FDCWD, from, AT_FDCWD, to, flags);
}
int SysUnlink(const char *path) { return Refused(Call::Unlink) ? -1 : ::unlink(path); }
int SysMkdir(const char *path, mode_t mode) {
  return Refused(Call::Mkdir) ? -1 : ::mkdir(path, mode);
}

void RememberForBatch(const std::string &dir) {
  for (const auto &d : g_batchDirs)
    if (d == dir)
      return;
  g_batchDirs.push_back(dir);
}

// `path` is the CP932 path the caller gave.
Status Fail(std::string_view what, std::string_view path, int err) {
  return Status{std::string(what), std::string(path), err ? err : EIO};
}

std::string Dirname(const std::string &native) {
  size_t p = native.rfind('/');
  if (p == std::string::npos)
    return ".";
  if (p == 0)
    return "/";
  return native.substr(0, p);
}

bool WriteAll(int fd, std::string_view data) {
  const char *p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = SysWrite(fd, p, left);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// Makes a new or renamed name in `dir` durable; the errno when it cannot.
int SyncDir(const std::string &dir) {
  int fd = SysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  int err = SysFsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return err;
}

std::string RealPath(const std::string &native, int &err) {
  char *r = ::realpath(native.c_str(), nullptr);
  if (!r) {
    err = errno;
    return std::string();
  }
  std::string out(r);
  std::free(r);
  err = 0;
  return out;
}

// See ResolveWriteTarget; native paths in and out, 0 or the refusal's code.
// `existing` is set to the target's status when there is a file already.
int ResolveNative(const std::string &native, std::string_view withinDir, std::string &out,
                  struct stat *existing = nullptr, bool *exists = nullptr) {
  int err = 0;
  struct stat lst;
  const bool found = ::lstat(native.c_str(), &lst) == 0;
  const bool link = found && S_ISLNK(lst.st_mode);
  std::string real; // where the file is, every link on the way followed
  // A plain file named directly in the folder it must stay in is in it,
  // whatever links lead to the folder: no need to resolve either path (an
  // import or a frame set writes thousands of such files).
  bool inPlace = false;
  if (!link && !withinDir.empty()) {
    std::string root = ToNative(withinDir);
    while (root.size() > 1 && root.back() == '/')
      root.pop_back();
    inPlace = Dirname(native) == root;
  }
  if (link) {
    real = RealPath(native, err);
    if (err)
      return err;
  } else if (!withinDir.empty() && !inPlace) {
    std::string dir = RealPath(Dirname(native), err);
    if (err)
      return err;
    size_t slash = native.rfind('/');
    real = dir + (dir == "/" ? "" : "/") +
           (slash == std::string::npos ? native : native.substr(slash + 1));
  }
  if (!withinDir.empty() && !inPlace) {
    std::string root = RealPath(ToNative(withinDir), err);
    if (err)
      return err;
    if (root.back() != '/')
      root += '/';
    if (real.compare(0, root.size(), root) != 0)
      return kLinkLeavesFolder;
  }
  out = link ? real : native;
  struct stat st;
  // Nothing at the path and no link: nothing to look at again.
  const bool there = link ? ::stat(out.c_str(), &st) == 0 : found;
  if (!link && found)
    st = lst;
  if (exists)
    *exists = there;
  if (there) {
    if (S_ISDIR(st.st_mode))
      return EISDIR;
    if ((st.st_mode & S_IWUSR) == 0)
      return EACCES; // a read-only file stays as it is, whoever asks
    if (existing)
      *existing = st;
  }
  return 0;
}

// The new file `fd` takes the mode and owner of the file at `like`, when
// there is one. Only root may give a file away; the group may still follow.
void TakeModeAndOwner(int fd, const struct stat &st) {
  if (::fchown(fd, st.st_uid, st.st_gid) != 0)
    (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
  ::fchmod(fd, st.st_mode & 07777); // after chown, which may clear set-id bits
}

void TakeModeAndOwner(int fd, const std::string &like) {
  struct stat st;
  if (!like.empty() && ::stat(like.c_str(), &st) == 0)
    TakeModeAndOwner(fd, st);
}

// See AtomicWriter::Commit.
std::string StrayNameFor(const std::string &native) { return StrayName(native); }

std::string TempNameFor(const std::string &native) {
  static std::atomic<unsigned> counter{0};
  return TempName(native, static_cast<unsigned long>(::getpid()), counter++);
}

void FillEntry(const struct stat &st, Entry &e) {
  e.size = static_cast<uint64_t>(st.st_size);
  e.mtime = static_cast<int64_t>(st.st_mtime);
  e.isDirectory = S_ISDIR(st.st_mode);
  e.isReadOnly = (st.st_mode & S_IWUSR) == 0;
}

} // namespace

namespace {
// The reasons of the program's own codes; null for an errno.
const char *OwnReason(int code) {
  switch (code) {
  case kLinkLeavesFolder:
    return "symbolic link leads out of the folder";
  case kChangedOnDisk:
    return "changed on disk since it was read";
  case kGoneFromDisk:
    return "removed from disk since it was read";
  case kNoProjectDirectory:
    return "no project directory is set";
  case kEmptyTree:
    return "the tree is empty; the tree file was not written";
  case kStoppedForTest:
    return "stopped by a test";
  case kNotADirectoryOfItsOwn:
    return "not a directory of its own (a link or a file)";
  case kOwnedByAnotherUser:
    return "belongs to another user";
  case kOpenToOthers:
    return "open to other users (not mode 0700)";
  default:
    return nullptr;
  }
}
} // namespace

std::string Status::Text() const {
  if (ok())
    return "ok";
  const char *why = OwnReason(code);
  return op + " " + cp932::ToUtf8(path) + ": " + (why ? why : std::strerror(code));
}

BatchWrites::BatchWrites() { ++g_batchDepth; }

BatchWrites::~BatchWrites() { (void)Finish(); }

Status BatchWrites::Finish() {
  if (finished_)
    return {};
  finished_ = true;
  if (--g_batchDepth > 0)
    return {};
  Status first;
  for (const auto &dir : g_batchDirs) {
    int err = 0;
    int fd = SysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
      err = errno;
    else {
      if (SysSyncfs(fd) != 0)
        err = errno;
      ::close(fd);
    }
    if (err && first.ok())
      first = Fail("sync", cp932::FromUtf8(dir).bytes, err);
  }
  g_batchDirs.clear();
  return first;
}

std::string ToNative(std::string_view path) { return cp932::ToUtf8(path); }

bool FromNative(std::string_view native, std::string &out) {
  cp932::Encoded e = cp932::FromUtf8(native);
  out = std::move(e.bytes);
  return e.ok();
}

bool Exists(std::string_view path) {
  struct stat st;
  return !path.empty() && ::stat(ToNative(path).c_str(), &st) == 0;
}

bool FileExists(std::string_view path) {
  struct stat st;
  return !path.empty() && ::stat(ToNative(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat st;
  return !path.empty() && ::stat(ToNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status Stat(std::string_view path, Entry &out) {
  std::string native = ToNative(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0)
    return Fail("stat", path, errno);
  out = Entry{};
  std::string_view p(path);
  while (p.size() > 1 && p.back() == '/')
    p.remove_suffix(1);
  size_t slash = p.rfind('/');
  out.name = std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
  FillEntry(st, out);
  struct stat lst;
  out.isSymlink = ::lstat(native.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
  out.isHidden = !out.name.empty() && out.name[0] == '.';
  return {};
}

namespace {

// Opens a regular file for reading. Non-blocking, so that a FIFO or device
// in the way cannot hang the program; anything but a regular file is refused.
// Opens `native`, relative to `dirFd` (AT_FDCWD: as given), for reading when
// it is a regular file; `path` names it in a failure.
Status OpenRegular(int dirFd, const std::string &native, std::string_view path, int &fd,
                   struct stat &st) {
  fd =
      Refused(Call::Open) ? -1 : ::openat(dirFd, native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return Fail("open", path, errno);
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    const int err = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    fd = -1;
    return Fail("read", path, err);
  }
  return {};
}

Status OpenRegular(std::string_view path, int &fd, struct stat &st) {
  return OpenRegular(AT_FDCWD, ToNative(path), path, fd, st);
}

} // namespace

namespace {

int64_t Nanos(const struct timespec &t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Two seconds: the coarsest clock a project's file system may keep (FAT); a
// change within it of the recording can leave every time as it was.
constexpr int64_t kClockResolutionNs = 2'000'000'000;

bool Recent(const Stamp &s) {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return std::max(s.mtimeNs, s.ctimeNs) > Nanos(now) - kClockResolutionNs;
}

void TakeMetadata(const struct stat &st, Stamp &s) {
  s.known = true;
  s.exists = true;
  s.device = static_cast<uint64_t>(st.st_dev);
  s.inode = static_cast<uint64_t>(st.st_ino);
  s.size = static_cast<uint64_t>(st.st_size);
  s.mtimeNs = Nanos(st.st_mtim);
  s.ctimeNs = Nanos(st.st_ctim);
  s.racy = Recent(s);
}

bool SameMetadata(const struct stat &st, const Stamp &s) {
  return s.device == static_cast<uint64_t>(st.st_dev) &&
         s.inode == static_cast<uint64_t>(st.st_ino) &&
         s.size == static_cast<uint64_t>(st.st_size) && s.mtimeNs == Nanos(st.st_mtim) &&
         s.ctimeNs == Nanos(st.st_ctim);
}

void Record(const struct stat &st, std::string_view bytes, Stamp &s) {
  s = Stamp{};
  TakeMetadata(st, s);
  s.hash = HashBytes(bytes);
}

Status ReadOpen(std::string_view path, int fd, const struct stat &st, std::string &out) {
  // Read straight into the result; a file that grows meanwhile is read on.
  // A read that comes short once the size found is in is the end: no
  // second call only to be told so.
  size_t size = static_cast<size_t>(st.st_size);
  out.resize(size + 1);
  size_t got = 0;
  for (;;) {
    if (got == out.size())
      out.resize(out.size() * 2 + 4096);
    const size_t asked = out.size() - got;
    ssize_t n = ::read(fd, out.data() + got, asked);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      out.clear();
      return Fail("read", path, errno);
    }
    if (n == 0)
      break;
    got += static_cast<size_t>(n);
    if (static_cast<size_t>(n) < asked && got >= size)
      break;
  }
  out.resize(got);
  return {};
}

// Reads the file opened as `fd` (`st` its fstat) and closes it; `seen` takes
// the times from before the read: a write that lands during it moves them,
// and the next check compares the bytes.
Status ReadAndClose(std::string_view path, int fd, const struct stat &st, std::string &out,
                    Stamp *seen) {
  Status read = ReadOpen(path, fd, st, out);
  ::close(fd);
  if (read && seen)
    Record(st, out, *seen);
  return read;
}

} // namespace

Status ReadFile(std::string_view path, std::string &out, Stamp *seen) {
  out.clear();
  int fd = -1;
  struct stat st;
  if (Status failed = OpenRegular(path, fd, st); !failed)
    return failed;
  return ReadAndClose(path, fd, st, out, seen);
}

namespace {
bool CanLinkUnnamed();
} // namespace

Directory::~Directory() {
  if (fd_ >= 0)
    ::close(fd_);
}

Status Directory::Open(std::string_view path) {
  if (fd_ >= 0)
    ::close(fd_);
  path_ = std::string(path);
  if (!path_.empty() && path_.back() != '/')
    path_ += '/';
  native_ = ToNative(path);
  while (native_.size() > 1 && native_.back() == '/')
    native_.pop_back();
  fd_ = SysOpen(native_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ < 0 ? Fail("open", path, errno) : Status{};
}

Status Directory::ReadFile(std::string_view name, std::string &out, Stamp *seen) const {
  out.clear();
  const std::string path = path_ + std::string(name);
  if (fd_ < 0 || name.empty() || name.find('/') != std::string_view::npos)
    return fsys::ReadFile(path, out, seen);
  int fd = -1;
  struct stat st;
  if (Status failed = OpenRegular(fd_, ToNative(name), path, fd, st); !failed)
    return failed;
  return ReadAndClose(path, fd, st, out, seen);
}

Status Directory::WriteFile(std::string_view name, std::string_view data) const {
  const std::string path = path_ + std::string(name);
  if (fd_ < 0 || name.empty() || name == "." || name == ".." ||
      name.find('/') != std::string_view::npos || !CanLinkUnnamed())
    return fsys::WriteFile(path, data);
  const int fd =
      Refused(Call::Open) ? -1 : ::openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR) // no nameless files here
      return fsys::WriteFile(path, data);
    return Fail("create", path, errno);
  }
  if (!WriteAll(fd, data) || (!Batching() && SysFsync(fd) != 0)) {
    const int err = errno;
    ::close(fd);
    return Fail("write", path, err);
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const std::string native = ToNative(name);
  int err = 0;
  if (Refused(Call::Link) ||
      ::linkat(AT_FDCWD, self.c_str(), fd_, native.c_str(), AT_SYMLINK_FOLLOW) != 0)
    err = errno;
  if (::close(fd) != 0 && !err)
    return Fail("write", path, errno);
  if (err == EEXIST) // a file (or a link) there already: replaced as every write replaces
    return fsys::WriteFile(path, data);
  if (err)
    return Fail("rename", path, err);
  if (Batching())
    RememberForBatch(native_);
  else if (SysFsync(fd_) != 0)
    return Fail("sync", path, errno); // in place, maybe not yet for good
  return {};
}

Stamp AbsentStamp() {
  Stamp s;
  s.known = true;
  return s;
}

// XXH3: a load hashes every byte of a project, several times faster than
// std::hash would.
uint64_t HashBytes(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

DiskChange CheckStamp(std::string_view path, Stamp &stamp) {
  if (!stamp.known)
    return DiskChange::None;
  const std::string native = ToNative(path);
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR)
      return DiskChange::None; // cannot tell; the write reports its own failure
    return stamp.exists ? DiskChange::Gone : DiskChange::None;
  }
  if (!stamp.exists)
    return DiskChange::Changed;
  // Under a fault plan the bytes are always compared: whether a stamp is
  // still racy depends on the clock, and every run must make the same calls.
  if (SameMetadata(st, stamp) && !stamp.racy && !fault::Active())
    return DiskChange::None;
  if (static_cast<uint64_t>(st.st_size) != stamp.size)
    return DiskChange::Changed;
  std::string bytes;
  if (!ReadFile(path, bytes))
    // Unreadable just now: new times say it changed; the same times leave it
    // to the write, which meets the same fault and reports it.
    return SameMetadata(st, stamp) ? DiskChange::None : DiskChange::Changed;
  if (HashBytes(bytes) != stamp.hash)
    return DiskChange::Changed;
  // The same bytes: a touch, a copy back, a rename of the same content.
  const uint64_t hash = stamp.hash;
  TakeMetadata(st, stamp);
  stamp.hash = hash;
  return DiskChange::None;
}

Stamp Peek(std::string_view path) {
  struct stat st;
  if (::stat(ToNative(path).c_str(), &st) != 0)
    return AbsentStamp();
  Stamp s;
  TakeMetadata(st, s);
  return s;
}

bool SameVersion(const Stamp &a, const Stamp &b) {
  return a.known == b.known && a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
         a.size == b.size && a.mtimeNs == b.mtimeNs && a.ctimeNs == b.ctimeNs;
}

bool Restamp(std::string_view path, Stamp &stamp) {
  struct stat st;
  if (!stamp.known || !stamp.exists || ::stat(ToNative(path).c_str(), &st) != 0)
    return false;
  if (stamp.device != static_cast<uint64_t>(st.st_dev) ||
      stamp.inode != static_cast<uint64_t>(st.st_ino) ||
      stamp.size != static_cast<uint64_t>(st.st_size) || stamp.mtimeNs != Nanos(st.st_mtim))
    return false;
  const uint64_t hash = stamp.hash;
  TakeMetadata(st, stamp);
  stamp.hash = hash;
  return true;
}

FileReader::~FileReader() { Close(); }

Status FileReader::Open(std::string_view path) {
  Close();
  path_ = std::string(path);
  int fd = -1;
  struct stat st;
  if (Status failed = OpenRegular(path, fd, st); !failed)
    return failed;
  fd_ = fd;
  return {};
}

Status FileReader::Read(char *buffer, size_t size, size_t &got) {
  got = 0;
  if (fd_ < 0)
    return Fail("read", path_, EBADF);
  for (;;) {
    ssize_t n = ::read(fd_, buffer, size);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return Fail("read", path_, errno);
    }
    got = static_cast<size_t>(n);
    return {};
  }
}

void FileReader::Close() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

Status ResolveWriteTarget(std::string_view path, std::string_view withinDir, std::string &out) {
  std::string native;
  if (int err = ResolveNative(ToNative(path), withinDir, native))
    return Fail("write", path, err);
  if (!FromNative(native, out))
    return Fail("write", path, EILSEQ);
  return {};
}

AtomicWriter::~AtomicWriter() { Abandon(); }

namespace {

// A new file can be written as a nameless file in its directory and given
// its name once complete: one directory change instead of a temporary name
// and a rename, and a crash leaves nothing behind. The name is given through
// /proc, which needs no privilege.
bool CanLinkUnnamed() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

int LinkUnnamed(int fd, const std::string &native) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return SysLinkat(self.c_str(), native.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

} // namespace

Status AtomicWriter::Open(std::string_view path, const WriteOptions &options) {
  Abandon();
  path_ = std::string(path);
  struct stat old;
  bool exists = false;
  if (int err = ResolveNative(ToNative(path), options.withinDir, native_, &old, &exists))
    return Fail("write", path, err);
  tmp_.clear();
  replace_ = exists;
  unnamed_ = false;
  expect_ = options.expect && options.expect->known ? options.expect : nullptr;
  if (CanLinkUnnamed()) {
    fd_ = SysOpen(Dirname(native_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    unnamed_ = fd_ >= 0;
  }
  if (fd_ < 0) {
    // A file system without nameless files.
    tmp_ = TempNameFor(native_);
    fd_ = SysOpen(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      tmp_.clear();
      return Fail("create", path, errno);
    }
  }
  // Keep the permissions of the file being replaced.
  if (exists)
    TakeModeAndOwner(fd_, old);
  else if (!options.modeFrom.empty())
    TakeModeAndOwner(fd_, ToNative(options.modeFrom));
  if (options.ownerOnly)
    ::fchmod(fd_, 0600);
  return {};
}

Status AtomicWriter::Append(std::string_view data) {
  if (fd_ < 0)
    return Fail("write", path_, EBADF);
  if (!WriteAll(fd_, data)) {
    int err = errno;
    Abandon();
    return Fail("write", path_, err);
  }
  return {};
}

Status AtomicWriter::Commit(Stamp *seen) {
  if (fd_ < 0)
    return Fail("write", path_, EBADF);
  if (!Batching() && SysFsync(fd_) != 0) {
    int err = errno;
    Abandon();
    return Fail("write", path_, err);
  }
  // Last look before the target is replaced: what someone else wrote there
  // since the program read it is never overwritten unasked.
  if (expect_) {
    Stamp now = *expect_;
    DiskChange change = CheckStamp(path_, now);
    if (change != DiskChange::None) {
      Abandon();
      return Fail("check", path_, change == DiskChange::Gone ? kGoneFromDisk : kChangedOnDisk);
    }
  }
  // Kept open past the rename, which changes the file's times: the stamp is
  // of the file written, even if another one takes its name right after.
  const int keep = seen ? ::dup(fd_) : -1;
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0)
        ::close(fd);
    }
  } closer{keep};
  if (unnamed_) {
    int err = 0;
    if (!replace_) {
      err = LinkUnnamed(fd_, native_);
      replace_ = err == EEXIST; // someone made the file meanwhile: replace it
    }
    if (replace_) {
      // The complete file gets a name beside the target only for the rename
      // that follows. The name is the same every time, so that one left by a
      // write stopped in between is replaced by the next write.
      tmp_ = StrayNameFor(native_);
      err = LinkUnnamed(fd_, tmp_);
      if (err == EEXIST && SysUnlink(tmp_.c_str()) == 0)
        err = LinkUnnamed(fd_, tmp_);
      if (err)
        tmp_.clear();
    }
    if (err) {
      Abandon();
      return Fail("rename", path_, err);
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    int err = errno;
    if (!tmp_.empty())
      SysUnlink(tmp_.c_str());
    return Fail("write", path_, err);
  }
  if (!tmp_.empty() && SysRename(tmp_.c_str(), native_.c_str()) != 0) {
    int err = errno;
    SysUnlink(tmp_.c_str());
    return Fail("rename", path_, err);
  }
  if (seen) {
    struct stat st;
    if (keep >= 0 && ::fstat(keep, &st) == 0)
      TakeMetadata(st, *seen);
    else
      *seen = Stamp{}; // unknown: the next write does not compare
  }
  if (Batching())
    RememberForBatch(Dirname(native_));
  else if (int err = SyncDir(Dirname(native_)))
    return Fail("sync", path_, err); // the new file is in place, maybe not yet for good
  return {};
}

void AtomicWriter::Abandon() {
  if (fd_ < 0)
    return;
  ::close(fd_);
  fd_ = -1;
  if (!tmp_.empty())
    SysUnlink(tmp_.c_str());
}

Status WriteFile(std::string_view path, std::string_view data, const WriteOptions &options) {
  AtomicWriter writer;
  if (Status s = writer.Open(path, options); !s)
    return s;
  if (Status s = writer.Append(data); !s)
    return s;
  Stamp written;
  Status s = writer.Commit(options.seen ? &written : nullptr);
  if (options.seen && written.known) { // in place, even when only its flush failed
    written.hash = HashBytes(data);
    *options.seen = written;
  }
  return s;
}

Status RenameFile(std::string_view from, std::string_view to) {
  std::string a = ToNative(from), b = ToNative(to);
  if (SysRename(a.c_str(), b.c_str()) != 0)
    return Fail("rename", from, errno);
  if (int err = SyncDir(Dirname(b)))
    return Fail("sync", to, err);
  return {};
}

Status DeleteFile(std::string_view path) {
  std::string native = ToNative(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return Fail("delete", path, EISDIR);
  if (SysUnlink(native.c_str()) != 0)
    return Fail("delete", path, errno);
  return {};
}

Status CopyFile(std::string_view from, std::string_view to, bool failIfExists,
                const WriteOptions &options) {
  if (failIfExists && Exists(to))
    return Fail("copy to", to, EEXIST);
  // Copying a file onto itself would be a no-op at best; never truncate it.
  if (SameFile(from, to))
    return {};
  AtomicWriter writer;
  if (Status s = writer.Open(to, options); !s)
    return Fail("copy to", to, s.code);
  int in = -1;
  struct stat source;
  if (Status failed = OpenRegular(from, in, source); !failed)
    return failed;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      int err = errno;
      ::close(in);
      return Fail("copy", to, err);
    }
    if (n == 0)
      break;
    if (Status s = writer.Append(std::string_view(buf, static_cast<size_t>(n))); !s) {
      ::close(in);
      return Fail("copy", to, s.code);
    }
  }
  ::close(in);
  if (Status s = writer.Commit(); !s)
    return Fail("copy", to, s.code);
  return {};
}

Status HardLink(std::string_view existing, std::string_view link) {
  std::string a = ToNative(existing), b = ToNative(link);
  if (SysLinkat(a.c_str(), b.c_str(), 0) != 0)
    return Fail("link", link, errno);
  return {};
}

Status CreateDirectories(std::string_view path) {
  std::string native = ToNative(path);
  if (native.empty())
    return Fail("mkdir", path, ENOENT);
  for (size_t i = 1; i <= native.size(); ++i) {
    if (i == native.size() || native[i] == '/') {
      std::string part = native.substr(0, i);
      struct stat st;
      if (::stat(part.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
          return Fail("mkdir", cp932::FromUtf8(part).bytes, ENOTDIR);
        continue;
      }
      if (SysMkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail("mkdir", cp932::FromUtf8(part).bytes, errno);
    }
  }
  return {};
}

Status RemoveDirectory(std::string_view path) {
  std::string native = ToNative(path);
  if (::rmdir(native.c_str()) != 0)
    return Fail("rmdir", path, errno);
  return {};
}

namespace {

// The next entry of `d`; null at its end or when it cannot be read, `err`
// telling which (0: the end). An error is no end: what follows is unknown.
struct dirent *ReadEntry(DIR *d, int &err) {
  if ((err = fault::Check(Call::List)))
    return nullptr;
  errno = 0;
  struct dirent *de = ::readdir(d);
  err = de ? 0 : errno;
  return de;
}

} // namespace

Status DeleteFilesIn(std::string_view dir, const std::function<void(size_t, size_t)> &progress,
                     size_t *notDeleted) {
  if (notDeleted)
    *notDeleted = 0;
  // The directory itself, not a link to it (a trailing separator would
  // have the link followed).
  std::string native = ToNative(dir);
  while (native.size() > 1 && native.back() == '/')
    native.pop_back();
  int fd = SysOpen(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return Fail("list", dir, errno);
  DIR *d = ::fdopendir(fd);
  if (!d) {
    const int err = errno;
    ::close(fd);
    return Fail("list", dir, err);
  }
  // Names first: a directory changed while it is read may list an entry
  // twice or not at all.
  std::vector<std::string> names;
  int err = 0;
  while (struct dirent *de = ReadEntry(d, err)) {
    std::string_view name(de->d_name);
    if (name == "." || name == "..")
      continue;
    bool isDirectory = de->d_type == DT_DIR;
    if (de->d_type == DT_UNKNOWN) {
      struct stat st;
      isDirectory = ::fstatat(fd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    if (!isDirectory)
      names.emplace_back(name);
  }
  if (err) { // nothing goes from a folder not read to its end
    ::closedir(d);
    return Fail("list", dir, err);
  }
  Status first;
  size_t failed = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    const int done = Refused(Call::Unlink) ? -1 : ::unlinkat(fd, names[i].c_str(), 0);
    if (done != 0 && errno != ENOENT) {
      const int err = errno;
      ++failed;
      if (first.ok()) {
        std::string name;
        if (!FromNative(names[i], name))
          name = "?";
        std::string path(dir); // '/' is never the second byte of a CP932 character
        if (path.empty() || path.back() != '/')
          path += '/';
        first = Fail("delete", path + name, err);
      }
    }
    if (progress)
      progress(i + 1, names.size());
  }
  ::closedir(d); // closes fd as well
  if (notDeleted)
    *notDeleted = failed;
  return first;
}

bool SameFile(std::string_view a, std::string_view b) {
  struct stat sa, sb;
  return ::stat(ToNative(a).c_str(), &sa) == 0 && ::stat(ToNative(b).c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RealPath(std::string_view path, std::string &out) {
  char *resolved = ::realpath(ToNative(path).c_str(), nullptr);
  if (!resolved)
    return false;
  const bool named = FromNative(resolved, out);
  std::free(resolved);
  return named;
}

bool Identity(std::string_view path, uint64_t &device, uint64_t &inode) {
  struct stat st;
  if (::lstat(ToNative(path).c_str(), &st) != 0)
    return false;
  device = static_cast<uint64_t>(st.st_dev);
  inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

Status ListDirectory(std::string_view dir, std::vector<Entry> &out) {
  out.clear();
  std::string native = ToNative(dir);
  DIR *d = ::opendir(native.c_str());
  if (!d)
    return Fail("list", dir, errno);
  int dfd = ::dirfd(d);
  int err = 0;
  while (struct dirent *de = ReadEntry(d, err)) {
    std::string_view name(de->d_name);
    if (name == "." || name == "..")
      continue;
    Entry e;
    // A name CP932 cannot hold exactly could not be named again later.
    if (!FromNative(name, e.name) || ToNative(e.name) != name)
      continue;
    struct stat lst;
    if (::fstatat(dfd, de->d_name, &lst, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    e.isSymlink = S_ISLNK(lst.st_mode);
    struct stat st = lst;
    if (e.isSymlink && ::fstatat(dfd, de->d_name, &st, 0) != 0)
      st = lst; // a dangling link is listed as what it is
    FillEntry(st, e);
    e.device = static_cast<uint64_t>(lst.st_dev);
    e.inode = static_cast<uint64_t>(lst.st_ino);
    e.isHidden = !e.name.empty() && e.name[0] == '.';
    out.push_back(std::move(e));
  }
  ::closedir(d);
  if (err) { // a part of the folder is no listing of it
    out.clear();
    return Fail("list", dir, err);
  }
  return {};
}

Status MakePrivateDirectory(const std::string &nativeDir) {
  std::string path;
  if (!FromNative(nativeDir, path))
    path = nativeDir;
  if (nativeDir.empty() || nativeDir[0] != '/')
    return Fail("mkdir", path, EINVAL);
  bool made = false;
  if (::mkdir(nativeDir.c_str(), 0700) == 0)
    made = true;
  else if (errno != EEXIST)
    return Fail("mkdir", path, errno);
  // lstat, not stat: a link planted in a shared place must not lead us
  // into someone else's directory.
  struct stat st;
  if (::lstat(nativeDir.c_str(), &st) != 0)
    return Fail("lstat", path, errno);
  if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode))
    return Fail("check", path, kNotADirectoryOfItsOwn);
  if (st.st_uid != ::getuid())
    return Fail("check", path, kOwnedByAnotherUser);
  // The umask may have taken bits from a directory just made; put them back.
  if (made && (st.st_mode & 07777) != 0700 && ::chmod(nativeDir.c_str(), 0700) == 0)
    st.st_mode = (st.st_mode & ~07777) | 0700;
  if ((st.st_mode & 07777) != 0700) {
    char mode[24];
    std::snprintf(mode, sizeof mode, "check (mode %04o)", unsigned(st.st_mode & 07777));
    return Fail(mode, path, kOpenToOthers);
  }
  return {};
}

} // namespace fsys
