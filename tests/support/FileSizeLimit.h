#pragma once
// While one of these lives, writes beyond `bytes` fail (EFBIG), even for root:
// the way tests make a write fail half way. SIGXFSZ is ignored for good.
#include <csignal>
#include <sys/resource.h>

class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
  FileSizeLimit(const FileSizeLimit &) = delete;
  FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
  rlimit saved_;
};
