#include "cli/CliCommands.h"

#include "cli/Command.h"

#include <ostream>
#include <string_view>

namespace cli {

// Each defined in its own <Name>Command.cpp.
extern const Command kTree, kResave, kExport, kImport, kFind, kCheck, kRecover;

namespace {

// The commands in the order the usage lists them.
const Command *const kCommands[] = {&kTree, &kResave, &kExport, &kImport,
                                    &kFind, &kCheck,  &kRecover};

void PrintUsage(std::ostream &s) {
  s << "usage: orvane-cli COMMAND [--help] ARGS\n"
       "\n"
       "Commands:\n";
  for (const Command *c : kCommands)
    s << "  " << c->name << std::string(8 - std::string_view(c->name).size(), ' ') << c->summary
      << "\n";
  s << "\n'orvane-cli COMMAND --help' describes a command.\n";
}

} // namespace

int Run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
        bool exitsAfter) {
  if (args.empty()) {
    PrintUsage(err);
    return kUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(out);
    return kOk;
  }
  const Command *command = nullptr;
  for (const Command *c : kCommands)
    if (args[0] == c->name)
      command = c;
  if (!command) {
    err << "orvane-cli: unknown command '" << Escape(args[0]) << "'\n";
    PrintUsage(err);
    return kUsage;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (AsksForHelp(rest)) {
    out << command->help;
    return kOk;
  }
  Call call{{}, {}, out, err, exitsAfter};
  int code = kUsage;
  if (ParseArguments(*command, rest, call)) {
    if (command->oneDirectory && call.operands.size() != 1)
      err << "orvane-cli " << command->name << ": expected one project directory\n";
    else
      code = command->run(call);
  }
  if (code == kUsage)
    err << command->help;
  return code;
}

} // namespace cli
