#pragma once
// The commands of orvane-cli. Arguments come as the OS gives them (UTF-8);
// everything printed is UTF-8. Exit codes: 0 success, 1 failure of the
// command, 2 a wrong command line.
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

// `args` is the command line without the program name. `exitsAfter`: the
// process ends once Run returns, so what the command loaded is left to it.
int Run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
        bool exitsAfter = false);

} // namespace cli
