#pragma once
// What every command of orvane-cli is made of, and the helpers they share.
// A command is a file of its own (<Name>Command.cpp) defining one Command,
// and a row in the table of CliCommands.cpp; Run parses its arguments with
// the one parser below and prints its help for --help and a wrong command
// line.
#include "store/ProjectTree.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TProject;

namespace cli {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

// An option a command knows: "--name", or "--name VALUE".
struct Option {
  const char *name;
  bool takesValue = false;
};

// One run of a command: its arguments parsed, where it prints.
struct Call {
  std::vector<std::string> operands;                        // in their order
  std::vector<std::pair<std::string, std::string>> options; // name and value ("" for none)
  std::ostream &out;
  std::ostream &err;
  bool exitsAfter = false; // the process ends once the command returns
};

struct Command {
  const char *name;
  const char *summary; // one line in the usage
  const char *help;    // for --help and after a wrong command line
  std::vector<Option> options = {};
  bool oneDirectory = false; // takes a project directory alone
  // Returns kUsage for a wrong command line (having said what is wrong).
  int (*run)(Call &call);
};

// Splits `args` (the command line after the command's name) into operands
// and the options the command knows: "--" ends the options, a lone "-" is an
// operand. False, having said why on `err`, for an option it does not know or
// one without its value.
bool ParseArguments(const Command &command, const std::vector<std::string> &args, Call &call);
// --help or -h before any "--".
bool AsksForHelp(const std::vector<std::string> &args);

// UTF-8 text made safe for a terminal: control characters as \xHH (C1 as
// \u00HH), bytes that are not UTF-8 as \xHH, a backslash doubled.
std::string Escape(std::string_view utf8);
// CP932 bytes (titles, IDs, file names, paths) as escaped UTF-8 text.
std::string Show(std::string_view cp932Text);
// An OS path argument in the program's code page; false having said why.
bool ArgPath(const std::string &arg, std::string &out, std::ostream &err);

// Loads the project in `arg` (an OS path), the load's warnings going to
// `err`. Prints the reason and returns false when it is not a loadable
// project.
bool LoadProject(const std::string &arg, TProject &project, std::ostream &err,
                 TLoadMode mode = TLoadMode::Full);

// The project of one command, loaded from its first operand (an OS path)
// with the load's warnings going to `warnings` (the command's err unless
// said). A command line run that ends the process does not free it: giving
// back every item and text one by one costs a tenth of a big project's load
// and nothing gains from it, the process's end takes the pages in one go.
class CommandProject {
public:
  explicit CommandProject(const Call &call, TLoadMode mode = TLoadMode::Full);
  CommandProject(const Call &call, TLoadMode mode, std::ostream &warnings);
  ~CommandProject();
  CommandProject(const CommandProject &) = delete;
  CommandProject &operator=(const CommandProject &) = delete;
  // False when it is not a loadable project (the reason told).
  bool Loaded() const { return loaded_; }
  TProject &operator*() const { return *project_; }
  TProject *operator->() const { return project_; }

private:
  TProject *project_;
  bool exitsAfter_;
  bool loaded_;
};

// Output gathered and handed on in large pieces: one write for many lines.
class Buffered {
public:
  explicit Buffered(std::ostream &out);
  ~Buffered() { Flush(); }
  Buffered(const Buffered &) = delete;
  Buffered &operator=(const Buffered &) = delete;
  std::string &Text() { return text_; }
  void LineDone() {
    if (text_.size() >= kPiece)
      Flush();
  }
  void Flush();

private:
  static constexpr size_t kPiece = size_t(1) << 20;
  std::ostream &out_;
  std::string text_;
};

} // namespace cli
