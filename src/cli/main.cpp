#include "cli/CliCommands.h"
#include "store/LargePages.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  UseLargeHeapPages(argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  return cli::Run(args, std::cout, std::cerr, true);
}
