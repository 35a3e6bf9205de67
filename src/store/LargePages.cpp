#include "store/LargePages.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

void UseLargeHeapPages(char **argv) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) // their own heaps
  static const char kMark[] = "ORVANE_TUNABLES_WERE";
  static const char kTunables[] = "GLIBC_TUNABLES";
  if (const char *was = std::getenv(kMark)) { // "-": none; else "=" and the value
    if (was[0] == '=')
      ::setenv(kTunables, was + 1, 1);
    else
      ::unsetenv(kTunables);
    ::unsetenv(kMark);
    // Started through /proc/self/exe, the process is called "exe": ps, top
    // and killall know it by its own name again.
    if (argv && argv[0]) {
      const char *slash = std::strrchr(argv[0], '/');
      ::prctl(PR_SET_NAME, slash ? slash + 1 : argv[0]);
    }
    return;
  }
  const char *had = std::getenv(kTunables);
  const std::string before = had ? had : "";
  if (before.find("glibc.malloc.hugetlb") != std::string::npos)
    return; // the user's own choice
  const std::string was = had ? "=" + before : "-";
  const std::string tunables =
      before + (before.empty() ? "" : ":") + "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864";
  ::setenv(kMark, was.c_str(), 1);
  ::setenv(kTunables, tunables.c_str(), 1);
  ::execv("/proc/self/exe", argv);
  // Not started again: on as it is.
  if (had)
    ::setenv(kTunables, before.c_str(), 1);
  else
    ::unsetenv(kTunables);
  ::unsetenv(kMark);
#else
  (void)argv;
#endif
}
