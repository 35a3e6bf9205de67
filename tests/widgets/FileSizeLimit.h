#pragma once
// Makes every write beyond a size fail while it lives, even for root (SIGXFSZ
// ignored, so the write returns an error instead of ending the test).
#include <csignal>
#include <sys/resource.h>

struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
  FileSizeLimit(const FileSizeLimit &) = delete;
  FileSizeLimit &operator=(const FileSizeLimit &) = delete;
  rlimit saved;
};
