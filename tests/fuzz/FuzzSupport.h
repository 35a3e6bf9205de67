#pragma once
// Shared by the fuzz targets: scratch directories, checks that stop the run,
// and a snapshot of a directory tree. Built both with libFuzzer and with the
// replay main of the normal test suite.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fuzz {

// The input being replayed (the replay main sets it), named when a check fails.
inline const char *currentInput = nullptr;

// A broken promise is a crash for libFuzzer and a failure for the replay.
[[noreturn]] inline void Fail(const char *what, const char *file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  if (currentInput)
    std::fprintf(stderr, "input: %s\n", currentInput);
  std::fflush(stderr);
  std::abort();
}
#define FUZZ_CHECK(cond)                                                                           \
  do {                                                                                             \
    if (!(cond))                                                                                   \
      ::fuzz::Fail(#cond, __FILE__, __LINE__);                                                     \
  } while (0)

inline std::string_view Bytes(const uint8_t *data, size_t size) {
  return {reinterpret_cast<const char *>(data), size};
}

// A fresh directory under $TMPDIR (or /tmp), removed with its content when it
// goes: every run starts clean and leaves nothing behind.
class Scratch {
public:
  Scratch() {
    const char *tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-fuzz-XXXXXX";
    if (!mkdtemp(tmpl.data()))
      Fail("mkdtemp", __FILE__, __LINE__);
    path_ = tmpl;
  }
  ~Scratch() {
    std::error_code ec;
    // A target may have left something unreadable or unwritable.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec))
        ::chmod(it->path().c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
  }
  Scratch(const Scratch &) = delete;
  Scratch &operator=(const Scratch &) = delete;

  // With the trailing separator, as the program keeps directory paths.
  std::string Dir() const { return path_ + "/"; }
  std::string Path(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
  std::string path_;
};

inline void WriteBytes(const std::string &path, std::string_view bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    Fail(("cannot write " + path).c_str(), __FILE__, __LINE__);
  if (!bytes.empty())
    std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline std::string ReadBytes(const std::string &path) {
  std::string out;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out.append(buf, n);
  std::fclose(f);
  return out;
}

// Every entry below `root` (links not followed): relative path -> kind,
// mode, size and content of regular files. Two equal snapshots mean nothing
// was written, made or removed there.
inline std::map<std::string, std::string> Snapshot(const std::string &root) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::string path = it->path().string();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
      continue;
    std::string desc = std::to_string(st.st_mode) + ":" + std::to_string(st.st_size);
    if (S_ISREG(st.st_mode))
      desc += ":" + ReadBytes(path);
    out[path.substr(root.size())] = desc;
  }
  return out;
}

// The lowest free descriptor number.
inline int LowestFreeFd() {
  int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (fd >= 0)
    ::close(fd);
  return fd;
}

// Declared first in a target, so that it goes last: fails when the run left
// a file descriptor open (the lowest free number has then moved up).
class FdCheck {
public:
  FdCheck() : first_(LowestFreeFd()) {}
  ~FdCheck() {
    if (LowestFreeFd() > first_) {
      char link[512] = {};
      const std::string self = "/proc/self/fd/" + std::to_string(first_);
      if (::readlink(self.c_str(), link, sizeof link - 1) > 0)
        std::fprintf(stderr, "descriptor %d: %s\n", first_, link);
      Fail("a file descriptor was left open", __FILE__, __LINE__);
    }
  }
  FdCheck(const FdCheck &) = delete;
  FdCheck &operator=(const FdCheck &) = delete;

private:
  int first_;
};

} // namespace fuzz
