// orvane-cli as it is, except that it stops dead (SIGKILL, no clean-up of any
// kind) just before its n-th call that changes the disk, n from the
// environment's ORVANE_KILL_AT. With ORVANE_KILL_AT=0 it runs to the end and
// prints how many such calls it made as the last line of its error output.
#include "cli/CliCommands.h"
#include "store/FaultInjection.h"

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

uint64_t g_killAt = 0;
uint64_t g_calls = 0;

void Observe(fsys::fault::Call, uint64_t total) {
  g_calls = total;
  if (total == g_killAt)
    std::raise(SIGKILL);
}

} // namespace

int main(int argc, char **argv) {
  const char *at = std::getenv("ORVANE_KILL_AT");
  g_killAt = at ? std::strtoull(at, nullptr, 10) : 0;
  fsys::fault::SetObserver(Observe);
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = cli::Run(args, std::cout, std::cerr);
  std::cerr << "calls: " << g_calls << "\n";
  return code;
}
